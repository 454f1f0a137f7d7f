#pragma once
// Whether a PEM file's private key is locked by a pass phrase, found from its
// text alone: a key that is would make the TLS library ask on the terminal,
// and the bot has nobody there to answer. Any thread.
#include <string>
#include <string_view>

namespace platform {

enum class EPemKey {
    None,        // no private key in it
    Plain,       // a key that needs no pass phrase
    Encrypted,   // a key that needs one: PKCS#8 "ENCRYPTED PRIVATE KEY", or the
                 // older form with "Proc-Type: 4,ENCRYPTED"
    Unreadable,  // the file cannot be read
};

// The first private key in the PEM text decides. Pure.
EPemKey PemKeyOf(std::string_view strPem);

// The same for the file at the path (its first MiB; a key file is a few KiB).
EPemKey InspectPemKeyFile(const std::string& strPath);

// The operator's words for an encrypted key, with the path as configured:
// "the key in FILE is encrypted; fragrelay needs it without a pass phrase".
std::string EncryptedKeyText(const std::string& strPath);

}  // namespace platform
