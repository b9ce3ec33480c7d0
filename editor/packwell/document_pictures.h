// The picture names a track document refers to, read without an XML parser:
// the text of every "picture" element, in the encoding the document declares.
// A package's names are decoded to match these (see package_names.h); a
// document this reader does not follow yields fewer names, never a failure.
#pragma once

#include <string>
#include <vector>

namespace packwell {

// UTF-8 texts of the document's picture elements, entities resolved. The
// document's encoding comes from its byte order mark or its declaration,
// UTF-8 when it has neither.
std::vector<std::string> DocumentPictureNames(const std::string& xml);

}  // namespace packwell
