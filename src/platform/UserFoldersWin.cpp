#include <windows.h>

#include <shlobj.h>

#include <filesystem>
#include <system_error>

#include "core/Text.h"
#include "platform/UserFolders.h"

namespace rq {

std::string FileManagerStartDirectory() {
    PWSTR documents = nullptr;
    std::string folder;
    if (::SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &documents) == S_OK) {
        const std::wstring_view wide(documents);
        folder = text::FromUtf16(std::u16string(wide.begin(), wide.end()));
    }
    ::CoTaskMemFree(documents);
    if (folder.empty()) {  // no profile (a service account): where the program runs
        std::error_code error;
        const std::wstring current = std::filesystem::current_path(error).native();
        folder = text::FromUtf16(std::u16string(current.begin(), current.end()));
    }
    return folder;
}

}  // namespace rq
