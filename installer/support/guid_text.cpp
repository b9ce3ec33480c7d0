#include "support/guid_text.h"

#include "platform/text.h"

std::string GuidToString(const platform::Guid& guid) {
    return platform::WideToMultiByte(platform::CodePage::kAnsi,
                                     platform::GuidToRegistryString(guid));
}

std::string NewGuidString() {
    return GuidToString(platform::NewGuid());
}
