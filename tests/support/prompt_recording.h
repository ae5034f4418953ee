#pragma once
// A prompt for tests: records what would have been shown, in order, and
// answers questions and file dialogs from queues (No and Cancel when a queue
// is empty). An action can be set to run while the next message "is open",
// which is how a test delivers a reply during a box.
#include <QStringList>
#include <deque>

#include "pages/prompt.h"

namespace kolmara {

class CRecordingPrompt : public IPrompt {
 public:
  const QStringList& Messages() const { return m_messages; }
  const QStringList& Questions() const { return m_questions; }
  const QStringList& FileFilters() const { return m_filters; }
  void Clear();

  void QueueAnswer(bool yes) { m_answers.push_back(yes); }
  void QueueFile(std::optional<QString> name) { m_files.push_back(std::move(name)); }
  // Runs inside the next message, before it counts as closed.
  void DuringNextMessage(std::function<void()> action) { m_during.push_back(std::move(action)); }

  // Changes the process's current directory inside a file dialog, as a
  // real dialog may do, so that callers can check it is put back.
  void ChangeDirectoryInDialogs(const QString& dir) { m_dialogDir = dir; }

 protected:
  void DoMessage(QWidget* parent, const QString& text) override;
  bool DoQuestion(QWidget* parent, const QString& text) override;
  std::optional<QString> DoOpenFile(QWidget* parent, const QString& filter) override;
  std::optional<QString> DoSaveFile(QWidget* parent, const QString& filter, const QString& suggestedName) override;

 private:
  std::optional<QString> NextFile(const QString& filter);

  QStringList m_messages;
  QStringList m_questions;
  QStringList m_filters;
  std::deque<bool> m_answers;
  std::deque<std::optional<QString>> m_files;
  std::deque<std::function<void()>> m_during;
  QString m_dialogDir;
};

}  // namespace kolmara
