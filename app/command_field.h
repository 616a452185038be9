#pragma once
// Text1, the command channel field: a hidden widget that holds its text as bytes exactly as they
// were set (a QLineEdit or QPlainTextEdit would alter CR and LF) and announces every set.
#include <QWidget>
#include <string>

namespace tarnwick {

class CommandField : public QWidget {
    Q_OBJECT
  public:
    explicit CommandField(QWidget* parent = nullptr);

    const std::string& text() const { return text_; }
    // Stores the text and emits changed(), also when the text equals the old one.
    void setText(std::string text);

  signals:
    void changed();

  private:
    std::string text_;
};

}  // namespace tarnwick
