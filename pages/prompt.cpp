#include "pages/prompt.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace kolmara {

// Counts a box for as long as it is open, also when the code inside throws.
class IPrompt::OpenBox {
 public:
  explicit OpenBox(IPrompt& prompt) : m_prompt(prompt) { ++m_prompt.m_nOpen; }
  ~OpenBox() { m_prompt.BoxClosed(); }
  OpenBox(const OpenBox&) = delete;
  OpenBox& operator=(const OpenBox&) = delete;

 private:
  IPrompt& m_prompt;
};

void IPrompt::BoxClosed() {
  if (--m_nOpen > 0) return;
  // An action may open a box of its own and queue more; take the list first.
  std::vector<std::function<void()>> actions;
  actions.swap(m_pending);
  for (auto& action : actions) action();
}

void IPrompt::WhenNoBoxOpen(std::function<void()> action) {
  if (m_nOpen == 0)
    action();
  else
    m_pending.push_back(std::move(action));
}

void IPrompt::Message(QWidget* parent, const QString& text) {
  OpenBox box(*this);
  DoMessage(parent, text);
}

bool IPrompt::Question(QWidget* parent, const QString& text) {
  OpenBox box(*this);
  return DoQuestion(parent, text);
}

std::optional<QString> IPrompt::OpenFile(QWidget* parent, const QString& filter) {
  OpenBox box(*this);
  const QString before = QDir::currentPath();
  std::optional<QString> name = DoOpenFile(parent, filter);
  QDir::setCurrent(before);
  return name;
}

std::optional<QString> IPrompt::SaveFile(QWidget* parent, const QString& filter, const QString& suggestedName) {
  OpenBox box(*this);
  const QString before = QDir::currentPath();
  std::optional<QString> name = DoSaveFile(parent, filter, suggestedName);
  QDir::setCurrent(before);
  return name;
}

void CQtPrompt::DoMessage(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Warning, QString::fromUtf8(kProgramName), text, QMessageBox::Ok, parent);
  box.setObjectName(QStringLiteral("promptMessage"));
  box.exec();
}

bool CQtPrompt::DoQuestion(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Question, QString::fromUtf8(kProgramName), text,
                  QMessageBox::Yes | QMessageBox::No, parent);
  box.setObjectName(QStringLiteral("promptQuestion"));
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

std::optional<QString> CQtPrompt::DoOpenFile(QWidget* parent, const QString& filter) {
  const QString name = QFileDialog::getOpenFileName(parent, QString::fromUtf8(kProgramName), QDir::currentPath(), filter);
  if (name.isEmpty()) return std::nullopt;
  return name;
}

std::optional<QString> CQtPrompt::DoSaveFile(QWidget* parent, const QString& filter, const QString& suggestedName) {
  const QString start = QDir::current().filePath(suggestedName);
  const QString name = QFileDialog::getSaveFileName(parent, QString::fromUtf8(kProgramName), start, filter);
  if (name.isEmpty()) return std::nullopt;
  return name;
}

}  // namespace kolmara
