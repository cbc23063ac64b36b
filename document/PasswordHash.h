#pragma once
// The stored form of a password and the rule that compares an entry with it.

#include <QString>

// MD5 of the UTF-8 bytes as typed, each 4-byte group of the digest reversed, as 32 lowercase
// hexadecimal digits (the four MD5 state words written most significant first).
QString PasswordHash(const QString& password);

// A user without a stored password logs in only with an empty entry; an empty entry never
// matches a stored hash.
bool PasswordAccepted(const QString& storedPasswd, const QString& entered);
