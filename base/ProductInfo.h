#pragma once
// The product's version and home page, as the About box, Help and the notification mails show them.

inline constexpr const char* kProgramVersion = "1.7 build 100";
inline constexpr const char* kHomePageAddress = "https://vellacord.example/";
