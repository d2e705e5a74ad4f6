// The login dialog of TMySQLServer, behind an interface so the component links no
// window code: the program installs the Qt dialog (TMySQLLoginDialog), tests a double.
#pragma once

#include <string>

struct TMySQLLoginData {
  std::string Host;
  std::string Port;  // the port as text, as the five-digit box holds it
  std::string UserName;
  std::string Password;
};

class TMySQLLoginPrompt {
 public:
  virtual ~TMySQLLoginPrompt() = default;
  // Shows the dialog pre-filled from data (the password box starts empty); true with OK,
  // the entered values then in data; false when the user cancels.
  virtual bool Execute(TMySQLLoginData& data) = 0;
};

// The process-wide login dialog; nullptr until one is installed. The caller keeps it
// alive; nullptr uninstalls.
TMySQLLoginPrompt* CurrentLoginPrompt();
void SetLoginPrompt(TMySQLLoginPrompt* prompt);

// The limits of the dialog's boxes: MariaDB's user-name limit; a password of any length.
inline constexpr int kLoginUserNameMaxLength = 80;
