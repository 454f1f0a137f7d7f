#pragma once
// The program's dialog templates: 102 main window, 130 IRC tab, 131 BF42
// tab, 132 Information tab, 133 Settings tab (ids in res/Resource.h).
#include <vector>

#include "framework/DialogTemplate.h"

namespace dialogs {

// The template with that id, or nullptr. The templates live for the whole
// run and never change. Any thread.
const framework::CDialogTemplate* FindDialogTemplate(int nId);

// Ids of every template, ascending.
std::vector<int> DialogTemplateIds();

}  // namespace dialogs
