#pragma once
// Ids of the notification mail's texts and hints.

namespace mail::string_id {

constexpr int kDefaultTemplate = 184;
constexpr int kExternalToolFailed = 188;
constexpr int kToolTimeoutQuestion = 190;
constexpr int kNoZipToolHint = 191;
constexpr int kNoMailTool = 192;
constexpr int kSystemMailTestNotice = 197;
constexpr int kSystemMailTestQuestion = 204; // also the hint id that ends the test mode
constexpr int kMailNotConfiguredHint = 1000;
constexpr int kLeftOutOfArchive = 2307;
constexpr int kValueLooksLikeOption = 2308;
constexpr int kSendmailMissing = 61840;
constexpr int kSendmailInvalid = 61841;
constexpr int kSendFailed = 61842;

} // namespace mail::string_id
