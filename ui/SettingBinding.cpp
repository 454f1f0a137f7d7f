#include "ui/SettingBinding.h"

#include "config/SettingsKeys.h"

namespace ui {

EBindResult ExchangeSetting(framework::CDataExchange& dx, const CBinding& binding,
                            config::CSettings& settings) {
    const config::CSettingKey* pKey = config::FindSettingKey(binding.pszKey);
    if (pKey == nullptr) return EBindResult::Done;
    switch (pKey->eType) {
        case config::ESettingType::Text:
            dx.Text(binding.nId, pKey->Text(settings), binding.nMaxChars);
            break;
        case config::ESettingType::Int:
            if (pKey->pszChoices != nullptr)
                dx.ListIndex(binding.nId, pKey->Int(settings));
            else
                dx.Int(binding.nId, pKey->Int(settings));
            break;
        case config::ESettingType::Port16: {
            // A number beyond 16 bits is no port: the setting keeps its value,
            // and the page refuses to go on until it is mended.
            int32_t nPort = pKey->Port(settings);
            dx.Int(binding.nId, nPort);
            if (dx.IsSaving() && !dx.Failed()) {
                if (nPort < 0 || nPort > 0xFFFF) return EBindResult::OutOfRange;
                pKey->Port(settings) = static_cast<uint16_t>(nPort);
            }
            break;
        }
        case config::ESettingType::Bool:
            dx.Check(binding.nId, pKey->Bool(settings));
            break;
    }
    return EBindResult::Done;
}

int ControlOfKey(std::span<const CBinding> bindings, std::string_view strKey) {
    for (const CBinding& binding : bindings) {
        if (binding.pszKey != nullptr && strKey == binding.pszKey) return binding.nId;
    }
    return 0;
}

}  // namespace ui
