#include "ui/save_csv_as.h"

#include "monitor/data_folder.h"
#include "platform/atomic_file.h"
#include "platform/files.h"

bool SaveCsvAs(Prompts& prompts, const std::function<std::string()>& text, const char* errorTitle) {
    Prompts::SaveFileRequest request;
    request.title = "Select a csv file name";
    request.filterName = "CSV Files (*.CSV)";
    request.filterPattern = "*.csv";
    request.defaultExtension = "csv";
    request.initialPath = GetDataFolder() + PathSeparator();
    std::optional<std::string> path = prompts.AskSaveFile(request);
    if (!path) return false;
    std::string error;
    if (SaveFileAtomically(*path, text(), &error)) return true;
    prompts.ShowMessage(error, errorTitle, Prompts::kOk | Prompts::kIconError);
    return false;
}
