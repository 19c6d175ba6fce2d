#include "ui/source_type_list.h"

#include "monitor/profile_list_text.h"

void ListSourceTypes(Controls& controls, int id, std::span<const std::string> names, int selected) {
    controls.ClearItems(id);
    for (size_t i = 0; i < names.size(); ++i)
        controls.AddItem(id, SourceTypeListText(i, names[i]));
    controls.SelectItem(id, selected);
}
