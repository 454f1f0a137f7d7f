#include "ui/SettingBinding.h"

#include "config/SettingsKeys.h"

namespace ui {

EBindResult ExchangeSetting(framework::CDataExchange& dx, const CBinding& binding,
                            config::CSettings& settings) {
    const config::CSettingKey* pKey = config::FindSettingKey(binding.m_pszKey);
    if (pKey == nullptr) return EBindResult::Done;
    switch (pKey->m_eType) {
        case config::ESettingType::Text:
            dx.Text(binding.m_nId, pKey->Text(settings), binding.m_nMaxChars);
            break;
        case config::ESettingType::Int:
            if (pKey->m_pszChoices != nullptr)
                dx.ListIndex(binding.m_nId, pKey->Int(settings));
            else
                dx.Int(binding.m_nId, pKey->Int(settings));
            break;
        case config::ESettingType::Port16: {
            // A number beyond 16 bits is no port: the setting keeps its value,
            // and the page refuses to go on until it is mended.
            int32_t nPort = pKey->Port(settings);
            dx.Int(binding.m_nId, nPort);
            if (dx.IsSaving() && !dx.Failed()) {
                if (nPort < 0 || nPort > 0xFFFF) return EBindResult::OutOfRange;
                pKey->Port(settings) = static_cast<uint16_t>(nPort);
            }
            break;
        }
        case config::ESettingType::Bool:
            dx.Check(binding.m_nId, pKey->Bool(settings));
            break;
    }
    return EBindResult::Done;
}

int ControlOfKey(std::span<const CBinding> bindings, std::string_view strKey) {
    for (const CBinding& binding : bindings) {
        if (binding.m_pszKey != nullptr && strKey == binding.m_pszKey) return binding.m_nId;
    }
    return 0;
}

}  // namespace ui
