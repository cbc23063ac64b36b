#pragma once
// The product's version and home page, as the About box, Help and the notification mails show them.

inline constexpr const char* kProgramVersion = "1.7 build 100";
// The one home page of the program, set when it is built (VELLACORD_HOME_PAGE, the project's
// repository address); empty when it has none, and then Help, About and the mail footer name none.
inline constexpr const char* kHomePageAddress = VELLACORD_HOME_PAGE;
