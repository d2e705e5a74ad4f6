// What GO in the main window decides before any window opens: the record-limit
// check, filling the job settings, the connection checks, and the replacement texts
// read from "SpecialChar.dat".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/project_settings.h"

// The main window's choices as GO reads them.
struct TMainWindowChoices {
  std::string limitText;
  // -1 when the text matches no item (a typed number).
  int limitIndex = 0;
  bool dropIfExist = true;
  bool createObject = true;
  bool transferData = true;
  bool updateData = true;
  bool saveScripts = true;
  bool fastTransfer = false;
  std::string replaceChar;
  int sourceIndex = 0;
  int destIndex = 0;
};

// The record limit GO fills in: -1 for "All Records" (item 0), otherwise the whole
// number typed or picked. nullopt when GO must refuse the text: not a whole number
// while "All Records" is not the item, or below 0. Blanks around the number are
// ignored; nothing else is.
std::optional<std::int32_t> CheckRecordLimit(const std::string& text, int selectedIndex);

extern const char* const kLimitationWarning;

// The group size of the main window's "Fast transfer".
inline constexpr std::int32_t kFastTransferRows = 1000;

// Fills the settings in GO's order and stores the two kinds as the current kinds;
// "Fast transfer" sends groups of kFastTransferRows rows, row by row without it.
// ScriptFileName is left alone: GO sets it only after the connection checks.
void FillSettings(const TMainWindowChoices& choices, std::int32_t recordLimit,
                  TProjectSettings& settings);

// A status label counts as connected when it reads "Connected", in any case.
bool IsConnectedText(const std::string& statusText);

// True when both sides are connected; otherwise shows the warning of the first side
// that is not (the source first) and returns false.
bool CheckConnections(bool sourceConnected, bool destConnected);

// The lines of a replacement-text file, in file order, an empty line being the
// empty text; no file (or an unreadable one) gives an empty list. A final line end
// adds no item, and a carriage return before a line feed is dropped.
std::vector<std::string> LoadSpecialChars(const std::string& path);

// The replacement-text file to read: "SpecialChar.dat" in the working directory when
// it has one, else the installed copy (share/quillmark beside the bin folder that
// holds programFile) when that exists, else "SpecialChar.dat" (no file: an empty list).
std::string SpecialCharFile(const std::string& programFile);

// What a connection dialog's modal result says about its side: true for OK or Yes,
// false for Cancel or No, nullopt for any other result (the status stays).
std::optional<bool> ConnectedByModalResult(int modalResult);
