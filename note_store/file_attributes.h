#pragma once

#include "note_store/store_error.h"

namespace hiduke {

// Gives the file open as `to` the extended attributes of the file open as
// `from`, POSIX ACLs (system.posix_acl_access) among them, and removes those
// that `to` has and `from` has not (such as an ACL inherited from the
// directory). Fails with kAttributesNotCopied and the errno of the first
// attribute that could not be set or removed. A file system without
// extended attributes has none to copy.
StoreResult<void> copyExtendedAttributes(int from, int to);

}  // namespace hiduke
