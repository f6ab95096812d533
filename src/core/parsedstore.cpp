#include "core/parsedstore.h"

#include "platform/lockedfile.h"

#include <QHash>

#include <mutex>
#include <optional>

namespace mixgen {

namespace {

struct Parse {
    StoreFileVersion version;
    IniDocument::Options options;
    std::shared_ptr<const IniDocument> document;
};

std::mutex g_mutex;
QHash<QString, Parse>& parses() {
    static QHash<QString, Parse> byPath;
    return byPath;
}

std::optional<Parse> keptParse(const QString& path, const IniDocument::Options& options) {
    const std::lock_guard lock(g_mutex);
    const auto found = parses().constFind(path);
    if (found == parses().cend() || !(found->options == options))
        return std::nullopt;
    return *found;
}

void keepParse(const QString& path, Parse parse) {
    const std::lock_guard lock(g_mutex);
    parses().insert(path, std::move(parse));
}

} // namespace

std::shared_ptr<const IniDocument> parsedStoreFile(const QString& path,
                                                   const IniDocument::Options& options) {
    const std::optional<StoreFileVersion> now = storeFileVersion(path);
    if (!now)
        return std::make_shared<const IniDocument>(QByteArray(), options);
    if (const std::optional<Parse> kept = keptParse(path, options); kept && kept->version == *now)
        return kept->document;

    QByteArray content;
    StoreFileVersion read;
    if (!readStoreFile(path, &content, &read))
        return std::make_shared<const IniDocument>(QByteArray(), options);
    auto document = std::make_shared<const IniDocument>(content, options);
    keepParse(path, {read, options, document});
    return document;
}

bool updateParsedStoreFile(const QString& path, const IniDocument::Options& options,
                           const std::function<bool(IniDocument&)>& change) {
    const std::optional<Parse> kept = keptParse(path, options);
    std::shared_ptr<IniDocument> edited;
    std::optional<StoreFileVersion> after;
    const bool written = updateStoreFile(
        path, kept ? std::optional(kept->version) : std::nullopt,
        [&](const std::optional<QByteArray>& content) -> std::optional<QByteArray> {
            // No content: the file is still the version kept, and so is its parse.
            edited = content ? std::make_shared<IniDocument>(*content, options)
                             : std::make_shared<IniDocument>(*kept->document);
            if (!change(*edited))
                return std::nullopt;
            return edited->toBytes();
        },
        &after);
    if (written && after && edited)
        keepParse(path, {*after, options, std::move(edited)});
    return written;
}

} // namespace mixgen
