#include "app/job_start.h"

#include <charconv>
#include <filesystem>
#include <fstream>

#include "connect/connection_string.h"
#include "platform/ui/messages.h"

const char* const kLimitationWarning =
    "Your limitation value is not valid, the limitation number must be integer value (0 to "
    "xxxx)";

namespace {

std::optional<std::int32_t> WholeNumber(const std::string& text) {
  std::size_t b = 0, e = text.size();
  while (b < e && text[b] == ' ') ++b;
  while (e > b && text[e - 1] == ' ') --e;
  if (b == e) return std::nullopt;
  const char* first = text.data() + b;
  const char* last = text.data() + e;
  if (*first == '+') ++first;
  std::int32_t value = 0;
  auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || ptr != last) return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::int32_t> CheckRecordLimit(const std::string& text, int selectedIndex) {
  const auto number = WholeNumber(text);
  if ((!number && selectedIndex != 0) || (number && *number < 0)) return std::nullopt;
  if (selectedIndex == 0) return -1;
  return *number;
}

void FillSettings(const TMainWindowChoices& c, std::int32_t recordLimit, TProjectSettings& s) {
  s.SetRecordLimit(recordLimit);
  s.SetDropIfExist(c.dropIfExist);
  s.SetCreateObject(c.createObject);
  s.SetTransferData(c.transferData);
  s.SetUpdateData(c.updateData);
  s.SetSaveScripts(c.saveScripts);
  s.SetBatchRows(c.fastTransfer ? kFastTransferRows : 0);
  s.SetReplaceChar(c.replaceChar);
  s.SetSourceKind(KindFromListIndex(c.sourceIndex));
  s.SetDestKind(KindFromListIndex(c.destIndex));
  CurrentSourceKind = s.SourceKind;
  CurrentDestKind = s.DestKind;
}

bool IsConnectedText(const std::string& statusText) {
  static const std::string kConnected = "connected";
  if (statusText.size() != kConnected.size()) return false;
  for (std::size_t i = 0; i < statusText.size(); ++i) {
    char c = statusText[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kConnected[i]) return false;
  }
  return true;
}

bool CheckConnections(bool sourceConnected, bool destConnected) {
  if (!sourceConnected) {
    ui::ShowMessage(ui::MessageKind::Warning,
                    "You cannot process this job because of your source connection is still "
                    "disconnected from database, please try to setup your source connection and "
                    "connect to your database file or database server to continue your job.");
    return false;
  }
  if (!destConnected) {
    ui::ShowMessage(ui::MessageKind::Warning,
                    "You cannot process this job because of your destination connection is "
                    "still disconnected from database, please try to setup your destination "
                    "connection and connect to your database file or database server to "
                    "continue your job.");
    return false;
  }
  return true;
}

std::vector<std::string> LoadSpecialChars(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  if (!in) return lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::string SpecialCharFile(const std::string& programFile) {
  namespace fs = std::filesystem;
  const std::string local = "SpecialChar.dat";
  std::error_code ec;
  if (fs::exists(local, ec)) return local;
  const fs::path installed =
      fs::path(programFile).parent_path() / QUILLMARK_DATA_FROM_BIN / "SpecialChar.dat";
  if (!programFile.empty() && fs::is_regular_file(installed, ec))
    return installed.lexically_normal().string();
  return local;
}

std::optional<bool> ConnectedByModalResult(int modalResult) {
  if (modalResult == mrOk || modalResult == mrYes) return true;
  if (modalResult == mrCancel || modalResult == mrNo) return false;
  return std::nullopt;
}
