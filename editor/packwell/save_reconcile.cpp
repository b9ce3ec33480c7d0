#include "save_reconcile.h"

#include "archive.h"
#include "package_names.h"

#include <vector>

namespace packwell {

bool ReconcileEntries(zip_t* zip, const SaveList& list, KeptEntries& kept, std::string& error) {
    const std::vector<EntryName> entries = ReadPackageNames(zip);
    for (zip_uint64_t index = 0; index < entries.size(); ++index) {
        const EntryName& entry = entries[index];
        if (entry.named && list.names.count(entry.name) && !kept.count(entry.name)) {
            if (list.missing.count(entry.name)) {
                kept.emplace(entry.name, index);
                if (entry.rewrite &&
                    zip_file_rename(zip, index, entry.name.c_str(), ZIP_FL_ENC_UTF_8) != 0) {
                    error = ZipError("zip_file_rename", zip);
                    return false;
                }
                continue;
            }
            if (!entry.rewrite) {
                kept.emplace(entry.name, index);
                continue;
            }
        }
        if (zip_delete(zip, index) != 0) {
            error = ZipError("zip_delete", zip);
            return false;
        }
    }
    return true;
}

}  // namespace packwell
