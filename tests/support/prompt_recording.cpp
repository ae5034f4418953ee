#include "tests/support/prompt_recording.h"

#include <QDir>

namespace kolmara {

void CRecordingPrompt::Clear() {
  m_messages.clear();
  m_questions.clear();
  m_filters.clear();
  m_answers.clear();
  m_files.clear();
  m_during.clear();
}

void CRecordingPrompt::DoMessage(QWidget*, const QString& text) {
  m_messages.push_back(text);
  if (!m_during.empty()) {
    auto action = std::move(m_during.front());
    m_during.pop_front();
    action();
  }
}

bool CRecordingPrompt::DoQuestion(QWidget*, const QString& text) {
  m_questions.push_back(text);
  if (m_answers.empty()) return false;
  const bool yes = m_answers.front();
  m_answers.pop_front();
  return yes;
}

std::optional<QString> CRecordingPrompt::NextFile(const QString& filter) {
  m_filters.push_back(filter);
  if (!m_dialogDir.isEmpty()) QDir::setCurrent(m_dialogDir);
  if (m_files.empty()) return std::nullopt;
  std::optional<QString> name = std::move(m_files.front());
  m_files.pop_front();
  return name;
}

std::optional<QString> CRecordingPrompt::DoOpenFile(QWidget*, const QString& filter) { return NextFile(filter); }

std::optional<QString> CRecordingPrompt::DoSaveFile(QWidget*, const QString& filter, const QString&) {
  return NextFile(filter);
}

}  // namespace kolmara
