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
        rs_create,  // the target is a folder, or no temporary file could be made
        rs_write,   // writing, flushing or renaming the temporary file
        rs_refused, // the target is no file to write (Reason says what it is)
    };
    TStep Step;
    int Error;
    std::string Reason; // for rs_refused, and where the error number alone says too little

    // Reason when there is one, otherwise the text of Error.
    std::string Text() const;
};

// The file that writing FileName reaches by name: its symbolic links
// followed, at most 40 of them (a longer chain or a loop is left for the
// rename to report). A link in a sticky folder (/tmp) that neither this
// process's user nor the folder's owner owns is not followed, as the kernel
// refuses to follow it when it opens a file: Refused is set then, and Path
// is the link itself.
struct TResolvedFile {
    std::string Path;
    std::optional<TReplaceFailure> Refused;
};
TResolvedFile ResolveWrittenFile(const std::string& FileName);

// Replaces FileName by Data: the data go to a temporary file in the same
// folder, are flushed to the disk and renamed over the target, and the
// rename is flushed too. A symbolic link is followed and its target
// replaced (ResolveWrittenFile). The new file keeps the old one's
// permissions and, where this user may give it, its group (a new file gets
// the default ones). Temporary files that a process which no longer runs
// left beside the target (a kill in the middle of a save) are removed first.
// On failure the old file is untouched, the temporary file removed, and the
// failed step returned (an empty name fails to be created, with ENOENT).
//
// A target that exists and is neither a regular file nor a folder is never
// replaced: a character device (/dev/null, a terminal) or a FIFO is written
// in place (a FIFO only while a program reads from it), a block device or a
// socket is refused.
[[nodiscard]] std::optional<TReplaceFailure> ReplaceFileAtomic(const std::string& FileName,
                                                               std::string_view Data);
