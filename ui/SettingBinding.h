#pragma once
// A page's controls bound to settings keys: which control shows which key,
// and the exchange of one key's value by the key's own type from the one
// table of keys (a text, a number, a port, a switch, a choice from a list).
// UI thread.
#include <span>
#include <string_view>

#include "config/Settings.h"
#include "framework/DataExchange.h"

namespace ui {

// One control of a page, in the page's exchange order. A null key marks a
// control whose value is the page's own (the chat input, the quick-info
// panel), which the page exchanges itself.
struct CBinding {
    int m_nId;
    const char* m_pszKey;
    int m_nMaxChars = 0;  // texts: the longest the control takes (0: no limit)
};

enum class EBindResult {
    Done,        // exchanged (or the transfer had failed before)
    OutOfRange,  // a port beyond 16 bits was typed: the setting kept its value
};

// Exchanges the key's value with the control: a text; a number, or the
// index of a list for a key with choices; a port shown as 0 to 65535; a
// check box for a switch. An unknown key exchanges nothing.
EBindResult ExchangeSetting(framework::CDataExchange& dx, const CBinding& binding,
                            config::CSettings& settings);

// The control that shows the key, or 0.
int ControlOfKey(std::span<const CBinding> bindings, std::string_view strKey);

}  // namespace ui
