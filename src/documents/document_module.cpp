#include "documents/document_module.h"

#include <new>
#include <string>

#include "core/failure.h"
#include "documents/document_format.h"
#include "documents/document_stream.h"

namespace brintale::documents {

struct ModuleText {
    ModuleText(const char* nativePath, Format format) : stream(QByteArray(nativePath), format) {}
    DocumentTextStream stream;
    std::string message;
};

namespace {

int Detect(const char* nativePath) {
    try {
        return int(DetectFormat(QByteArray(nativePath)));
    } catch (...) {
        return -1;
    }
}

ModuleText* Open(const char* nativePath, int format) {
    try {
        return new ModuleText(nativePath, Format(format));
    } catch (...) {
        return nullptr;
    }
}

// Keeps the reason; out of memory when even that cannot be kept.
template <typename Describe>
std::int64_t Fault(ModuleText* text, Describe describe) noexcept {
    try {
        text->message = describe();
        return kModuleFault;
    } catch (...) {
        return kModuleOutOfMemory;
    }
}

std::int64_t Read(ModuleText* text, char* buffer, std::int64_t size) {
    try {
        return text->stream.Read(buffer, qsizetype(size));
    } catch (const std::bad_alloc&) {
        return kModuleOutOfMemory;
    } catch (const Failure& failure) {
        return Fault(text, [&] { return failure.description().toStdString(); });
    } catch (const std::exception& e) {
        return Fault(text, [&] { return std::string(e.what()); });
    } catch (...) {
        return Fault(text, [] { return std::string("an unknown fault"); });
    }
}

const char* Message(const ModuleText* text) { return text->message.c_str(); }

void Close(ModuleText* text) { delete text; }

constexpr ModuleInterface kInterface{kModuleVersion, Detect, Open, Read, Message, Close};

}  // namespace

}  // namespace brintale::documents

extern "C" __attribute__((visibility("default"))) const brintale::documents::ModuleInterface*
brintale_documents_module() {
    return &brintale::documents::kInterface;
}
