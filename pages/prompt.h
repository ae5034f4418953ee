#pragma once
// Everything the tool asks or tells the administrator goes through here, so
// that windows and pages can be driven by tests without a modal box. The
// base class counts open boxes: a box runs its own event loop, and a reply
// that arrives meanwhile may ask for something (the end of the window) that
// must wait until every box has been closed.
#include <QString>
#include <functional>
#include <optional>
#include <vector>

class QWidget;

namespace kolmara {

// Caption of every box, and the program's name.
inline constexpr char kProgramName[] = "KolmaraSetting";

class IPrompt {
 public:
  virtual ~IPrompt() = default;

  // A modal message with one OK button.
  void Message(QWidget* parent, const QString& text);
  // Yes/No; anything but Yes (the close box, Escape) is No.
  bool Question(QWidget* parent, const QString& text);
  // A file name, or nothing when cancelled. The process's current directory
  // is the same afterwards as before.
  std::optional<QString> OpenFile(QWidget* parent, const QString& filter);
  std::optional<QString> SaveFile(QWidget* parent, const QString& filter, const QString& suggestedName);

  int OpenBoxes() const { return m_nOpen; }
  // Runs `action` at once when no box is open, otherwise as soon as the
  // outermost open box has been closed.
  void WhenNoBoxOpen(std::function<void()> action);

 protected:
  virtual void DoMessage(QWidget* parent, const QString& text) = 0;
  virtual bool DoQuestion(QWidget* parent, const QString& text) = 0;
  virtual std::optional<QString> DoOpenFile(QWidget* parent, const QString& filter) = 0;
  virtual std::optional<QString> DoSaveFile(QWidget* parent, const QString& filter,
                                            const QString& suggestedName) = 0;

 private:
  class OpenBox;
  void BoxClosed();

  int m_nOpen = 0;
  std::vector<std::function<void()>> m_pending;
};

// Real boxes: the program's name as caption, a warning icon and OK for
// messages, the question icon with Yes and No for questions.
class CQtPrompt : public IPrompt {
 protected:
  void DoMessage(QWidget* parent, const QString& text) override;
  bool DoQuestion(QWidget* parent, const QString& text) override;
  std::optional<QString> DoOpenFile(QWidget* parent, const QString& filter) override;
  std::optional<QString> DoSaveFile(QWidget* parent, const QString& filter, const QString& suggestedName) override;
};

}  // namespace kolmara
