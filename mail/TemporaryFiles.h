#pragma once
// The names of the mail's temporary files: one set per number and process.

#include <QString>

namespace mail {

// "<temporary folder>/id_<n>_VC<process id in lower-case hex>"; callers add the extension.
QString TemporaryBase(long number);

} // namespace mail
