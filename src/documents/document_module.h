#pragma once

// The readers of documents as a module of their own, which brintale-count loads the first time
// it meets a document: their libraries cost every other run its start. Plain C across the
// boundary, so that neither side's exceptions or allocations cross it.

#include <cstdint>

namespace brintale::documents {

struct ModuleText;

struct ModuleInterface {
    // Changes whenever a field below does; a module of another version is refused.
    int version;
    // A Format, or -1 when memory ran out.
    int (*detect)(const char* nativePath);
    // The text of a document as UTF-8; nullptr when memory or threads ran out.
    ModuleText* (*open)(const char* nativePath, int format);
    // Up to size bytes, 0 only at the end; kModuleFault with the reason in message(), or
    // kModuleOutOfMemory.
    std::int64_t (*read)(ModuleText* text, char* buffer, std::int64_t size);
    // The last fault's reason as UTF-8, valid until the next call on text.
    const char* (*message)(const ModuleText* text);
    void (*close)(ModuleText* text);
};

constexpr int kModuleVersion = 1;
constexpr std::int64_t kModuleFault = -1;
constexpr std::int64_t kModuleOutOfMemory = -2;

// The one symbol the module exports.
inline constexpr char kModuleEntry[] = "brintale_documents_module";
using ModuleEntry = const ModuleInterface* (*)();

// The module's file name, installed beside the program in the build tree and under the
// library folder in the package.
inline constexpr char kModuleFileName[] = "brintale-documents.so";

}  // namespace brintale::documents
