#include <cstdio>

#include "brindle/framework.h"

namespace {
bool CopyMessage(char const* text, char* buffer, UINT size, UINT* help_context) {
  if (help_context != nullptr) *help_context = 0;
  if (buffer == nullptr || size == 0) return false;
  std::snprintf(buffer, size, "%s", text);
  return true;
}
}  // namespace

CException::CException() = default;
CException::CException(CException const&) = default;
CException& CException::operator=(CException const&) = default;
CException::~CException() = default;
bool CException::GetErrorMessage(char* buffer, UINT size, UINT* help_context) const {
  return CopyMessage("An unknown error has occurred.", buffer, size, help_context);
}

bool CUserException::GetErrorMessage(char* buffer, UINT size, UINT* help_context) const {
  return CopyMessage("The operation was stopped by the user exception.", buffer, size, help_context);
}

CArchiveException::CArchiveException(int cause) : m_cause(cause) {}
bool CArchiveException::GetErrorMessage(char* buffer, UINT size, UINT* help_context) const {
  static char const* const kText[] = {
      "No archive error.",        "An unspecified archive error occurred.", "Storing into a loading archive.",
      "Read past the end of the archive.", "Loading from a storing archive.", "Invalid archive index.",
      "Unexpected class in archive.", "Unexpected schema in archive."};
  int cause = m_cause >= 0 && m_cause <= badSchema ? m_cause : generic;
  return CopyMessage(kText[cause], buffer, size, help_context);
}

CFileException::CFileException(int cause) : m_cause(cause) {}
bool CFileException::GetErrorMessage(char* buffer, UINT size, UINT* help_context) const {
  char text[64];
  std::snprintf(text, sizeof text, "File error (cause %d).", m_cause);
  return CopyMessage(text, buffer, size, help_context);
}

void AfxThrowUserException() { throw CUserException(); }
