#include <filesystem>
#include <system_error>

#include "platform/UserFolders.h"

namespace rq {

std::string FileManagerStartDirectory() {
    std::error_code error;
    return std::filesystem::current_path(error).string();
}

}  // namespace rq
