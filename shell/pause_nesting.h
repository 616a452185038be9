#pragma once
// The policy for nested one-second pauses, for every front end. A command's handler may pause
// and let events run (the second after a history request); commands that arrive meanwhile are
// delivered inside that pause, in arrival order, so a pause can nest inside a pause. At
// MaxDepth levels the front end only buffers: commands stay queued in order until the innermost
// pause returns, and the delivery loop on the stack below it then carries on. Nothing is dropped
// and the stack stays bounded.
namespace tarnwick {

class PauseNesting {
  public:
    static constexpr int MaxDepth = 8;

    int Depth() const { return depth_; }
    // Whether a buffered command may be delivered now (pauses on the stack permitting).
    bool DeliverAllowed() const { return depth_ < MaxDepth; }
    void Enter() { ++depth_; }
    // Leaves the innermost pause. True when commands held back at the limit may go on now: the
    // front end then restarts delivery from its buffer.
    bool Leave() {
        --depth_;
        return depth_ == MaxDepth - 1;
    }

  private:
    int depth_ = 0;
};

}  // namespace tarnwick
