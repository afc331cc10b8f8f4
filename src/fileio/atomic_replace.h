// Replacing a file so that it is either the old one or the new one, whole,
// after any crash. The settings files and the data files are written this
// way; each caller words the failure in its own terms.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The step of a replacement that failed and the operating system's error
// number for it.
struct TReplaceFailure {
    enum TStep {
        rs_create, // the target is a folder, or no temporary file could be made
        rs_write,  // writing, flushing or renaming the temporary file
    };
    TStep Step;
    int Error;
};

// Replaces FileName by Data: the data go to a temporary file in the same
// folder, are flushed to the disk and renamed over the target, and the
// rename is flushed too. A symbolic link is followed and its target
// replaced. The new file keeps the old one's permissions (a new file gets the
// default ones). On failure the old file is untouched, the temporary file
// removed, and the failed step returned (an empty name fails to be created,
// with ENOENT).
[[nodiscard]] std::optional<TReplaceFailure> ReplaceFileAtomic(const std::string& FileName,
                                                               std::string_view Data);
