#pragma once
// The command channel on Linux: a Unix socket pair. The feed library gets one end's descriptor
// as the "window handle" of Text1 and writes each command as its bytes and one NUL byte; the
// shell watches the other end in the event loop and delivers every complete command in arrival
// order.
#include <QObject>
#include <functional>
#include <string>

class QSocketNotifier;

namespace tarnwick {

class CommandChannel final : public QObject {
    Q_OBJECT
  public:
    // Throws std::system_error when the socket pair cannot be created. maxCommandBytes is the
    // longest command kept (tests pass a small one).
    explicit CommandChannel(QObject* parent = nullptr,
                            std::size_t maxCommandBytes = MaxCommandBytes);
    ~CommandChannel() override;
    CommandChannel(const CommandChannel&) = delete;
    CommandChannel& operator=(const CommandChannel&) = delete;

    // The descriptor handed to the feed library (the end it writes into).
    int HostHandle() const { return hostFd_; }

    // Receives each complete command, without its NUL.
    void SetDeliver(std::function<void(std::string)> deliver) { deliver_ = std::move(deliver); }
    // Asked before each command is delivered; while it answers false, commands stay buffered.
    void SetMayDeliver(std::function<bool()> mayDeliver) { mayDeliver_ = std::move(mayDeliver); }

    // Delivers the complete commands already buffered (while delivery is allowed).
    void DeliverPending();
    // Reads what the socket holds now, then delivers.
    void ReadAvailable();

    // Stops reading for good (after the window has unloaded).
    void Stop();
    bool Watching() const;
    std::size_t BufferedBytes() const { return buffer_.size() - head_; }

    // Above this many buffered bytes the reader stops taking bytes from the socket until the
    // buffer drains, so a host that floods the channel while commands are held back meets the
    // socket's own back-pressure instead of growing the buffer without bound. Nothing is lost.
    static constexpr std::size_t MaxBufferedBytes = 64u << 20;
    // A command longer than this is discarded: its bytes are dropped up to its NUL, where the
    // reader takes up the next command. Below MaxBufferedBytes, so one unterminated command can
    // never fill the buffer and stop the reading for good.
    static constexpr std::size_t MaxCommandBytes = 32u << 20;

  signals:
    // The feed library closed its end.
    void closedByPeer();
    // A command longer than the limit was discarded (once per such command).
    void commandDiscarded(std::size_t limit);

  private:
    void UpdateWatching();
    // Adds bytes read from the socket to the buffer, dropping over-long commands.
    void Append(const char* data, std::size_t size);

    int ownFd_ = -1;
    int hostFd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    std::string buffer_;
    std::size_t head_ = 0;      // start of the first undelivered command in buffer_
    std::size_t scanFrom_ = 0;  // bytes of buffer_ already known to hold no NUL
    std::size_t tailFrom_ = 0;  // start of the unterminated command at the end of buffer_
    std::size_t maxCommandBytes_;
    bool discarding_ = false;  // dropping the rest of an over-long command up to its NUL
    bool eof_ = false;
    bool stopped_ = false;
    std::function<void(std::string)> deliver_;
    std::function<bool()> mayDeliver_;
};

}  // namespace tarnwick
