#include "imaging/output_guard.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>

#include "imaging/errors.hpp"
#include "imaging/file_output.hpp"
#include "imaging/image_file.hpp"
#include "imaging/paths.hpp"

namespace imaging {

bool WrittenFiles::identify(const std::string& name, Identity& id) {
    struct statx st {};
    if (::statx(AT_FDCWD, hostPath(name).c_str(), 0, STATX_INO | STATX_BTIME, &st) != 0) return false;
    const bool born = (st.stx_mask & STATX_BTIME) != 0;
    id = {(static_cast<unsigned long long>(st.stx_dev_major) << 32) | st.stx_dev_minor,
          static_cast<unsigned long long>(st.stx_ino), born ? static_cast<long long>(st.stx_btime.tv_sec) : 0,
          born ? static_cast<long long>(st.stx_btime.tv_nsec) : 0};
    return true;
}

void WrittenFiles::remember(const std::string& name) {
    Identity id;
    if (!identify(name, id)) return;
    const std::lock_guard<std::mutex> lock(mutex_);
    if (std::find(files_.begin(), files_.end(), id) == files_.end()) files_.push_back(id);
}

bool WrittenFiles::contains(const std::string& name) const {
    Identity id;
    if (!identify(name, id)) return false;
    const std::lock_guard<std::mutex> lock(mutex_);
    return std::find(files_.begin(), files_.end(), id) != files_.end();
}

void guardOutput(const std::string& label, const std::string& name, const std::string& what,
                 const std::vector<InputFile>& inputs, const WrittenFiles* written) {
    if (name.empty()) return;
    for (const InputFile& input : inputs)
        if (sameFile(name, input.name))
            throw RunError::refused(label + " " + name + " is the input " + input.kind + " " + input.name +
                                    " itself; choose another file");
    const std::string format = pictureFormatOf(name);
    if (format.empty() || (written && written->contains(name))) return;
    if (what.empty())
        throw RunError::refused(label + " " + name + " is an existing " + format + " picture; it is not replaced");
    throw RunError::refused(label + " " + name + " is a " + format + " picture, not a " + what +
                            "; it is not replaced");
}

}  // namespace imaging
