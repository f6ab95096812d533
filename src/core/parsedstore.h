#pragma once

#include "core/inifile.h"

#include <QString>

#include <functional>
#include <memory>

// The parse of a store file (settings, registry tree), shared by every reader in the process
// and kept while the file stays the same version (its device and inode, size and times): a
// request reads and parses each store once, not once for every key it reads. A file that
// another instance replaced, or a person edited, is a new version and is read again.
namespace mixgen {

// The document as the file at path holds it now; empty when the file is missing or cannot be
// read.
std::shared_ptr<const IniDocument> parsedStoreFile(const QString& path,
                                                   const IniDocument::Options& options);

// Read-modify-write under the file's lock (see updateStoreFile): change edits the document as
// the file holds it and says whether it changed it. False when the file could not be replaced.
bool updateParsedStoreFile(const QString& path, const IniDocument::Options& options,
                           const std::function<bool(IniDocument&)>& change);

} // namespace mixgen
