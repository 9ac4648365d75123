#include "console_format_dialog.h"

#include <cstdio>

#include "disk/partitions.h"

namespace sw::cli {

void ConsoleFormatDialog::Line(const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
}

void ConsoleFormatDialog::ShowMessage(const std::string& text) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_lastText = text;
  Line("seekwell-cli: " + text);
}

void ConsoleFormatDialog::PostProgress(int percent) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_percent = percent;
}

void ConsoleFormatDialog::PostStatus(const std::string& text) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (text == m_lastStatus) return;
  m_lastStatus = text;
  m_lastText = text;
  // Every report of the format passes through 99% first; in a list of lines that would read as
  // progress going back and forth, so the terminal sees only the reported percentages.
  if (!text.empty() && text != disk::ProgressText(99)) Line(text);
}

void ConsoleFormatDialog::PostErrorMessage(const std::string& text) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_lastText = text;
  Line("seekwell-cli: " + text);
}

bool ConsoleFormatDialog::WaitForEnd() {
  m_members.WaitForWorker();
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_lastStatus == disk::kFormatSucceededText;
}

std::string ConsoleFormatDialog::LastText() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_lastText;
}

int ConsoleFormatDialog::LastPercent() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_percent;
}

}  // namespace sw::cli
