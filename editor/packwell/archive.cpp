#include "archive.h"

namespace packwell {

namespace {

std::string ZipErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

}  // namespace

Archive OpenArchive(const std::string& path, int flags, const std::string& password,
                    std::string& error) {
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), flags, &code);
    if (!archive) {
        error = "zip_open(" + path + ") failed: " + ZipErrorText(code);
        return nullptr;
    }
    if (!password.empty())
        zip_set_default_password(archive, password.c_str());
    return Archive(archive);
}

std::string ZipError(const char* call, zip_t* archive) {
    return std::string(call) + " failed: " + zip_strerror(archive);
}

}  // namespace packwell
