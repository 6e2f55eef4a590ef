#include "ZipLibrary.h"

#include "Exception.h"
#include "UiLanguage.h"

#include <dlfcn.h>
#include <mutex>

// The definitions below stand in for the library's exports inside this
// program only: hidden, so that libzip's own calls never land in them.
#define ZIP_EXTERN __attribute__((visibility("hidden")))
#include <zip.h>

using namespace Qt::StringLiterals;

namespace {

void* g_library = nullptr;
QString g_error;

void open()
{
    static std::once_flag once;
    std::call_once(once, [] {
        g_library = dlopen(POSTRELLA_LIBZIP_SONAME, RTLD_NOW | RTLD_LOCAL);
        if (!g_library)
            g_error = byLanguage(u"Die Zip-Bibliothek "_s, u"The zip library "_s) +
                      QLatin1StringView(POSTRELLA_LIBZIP_SONAME) +
                      byLanguage(u" kann nicht geladen werden: "_s, u" cannot be loaded: "_s) +
                      QString::fromLocal8Bit(dlerror());
    });
}

// The library's function of that name, with the type of our declaration.
template <typename Function> Function* resolve(Function*, const char* name)
{
    open();
    if (!g_library)
        throw Exception(g_error);
    void* symbol = dlsym(g_library, name);
    if (!symbol)
        throw Exception(
            byLanguage(u"Die Zip-Bibliothek kennt die Funktion "_s, u"The zip library lacks the function "_s) +
            QLatin1StringView(name) + byLanguage(u" nicht"_s, QString()));
    return reinterpret_cast<Function*>(symbol);
}

} // namespace

namespace ZipLibrary {

bool load()
{
    open();
    return g_library != nullptr;
}

QString error()
{
    open();
    return g_error;
}

} // namespace ZipLibrary

// Each forwards to the function of the same name in the library, looked up once.
#define POSTRELLA_ZIP_FORWARD(result, name, parameters, arguments)                                                     \
    extern "C" result name parameters                                                                                  \
    {                                                                                                                  \
        static auto* const target = resolve(&name, #name);                                                             \
        return target arguments;                                                                                       \
    }

POSTRELLA_ZIP_FORWARD(void, zip_discard, (zip_t * archive), (archive))
POSTRELLA_ZIP_FORWARD(int, zip_error_code_zip, (const zip_error_t* error), (error))
POSTRELLA_ZIP_FORWARD(void, zip_error_fini, (zip_error_t * error), (error))
POSTRELLA_ZIP_FORWARD(void, zip_error_init, (zip_error_t * error), (error))
POSTRELLA_ZIP_FORWARD(void, zip_error_init_with_code, (zip_error_t * error, int code), (error, code))
POSTRELLA_ZIP_FORWARD(const char*, zip_error_strerror, (zip_error_t * error), (error))
POSTRELLA_ZIP_FORWARD(int, zip_fclose, (zip_file_t * file), (file))
POSTRELLA_ZIP_FORWARD(zip_error_t*, zip_file_get_error, (zip_file_t * file), (file))
POSTRELLA_ZIP_FORWARD(int, zip_file_get_external_attributes,
                      (zip_t * archive, zip_uint64_t index, zip_flags_t flags, zip_uint8_t* system,
                       zip_uint32_t* attributes),
                      (archive, index, flags, system, attributes))
POSTRELLA_ZIP_FORWARD(zip_file_t*, zip_fopen_index, (zip_t * archive, zip_uint64_t index, zip_flags_t flags),
                      (archive, index, flags))
POSTRELLA_ZIP_FORWARD(zip_int64_t, zip_fread, (zip_file_t * file, void* buffer, zip_uint64_t count),
                      (file, buffer, count))
POSTRELLA_ZIP_FORWARD(zip_error_t*, zip_get_error, (zip_t * archive), (archive))
POSTRELLA_ZIP_FORWARD(zip_int64_t, zip_get_num_entries, (zip_t * archive, zip_flags_t flags), (archive, flags))
POSTRELLA_ZIP_FORWARD(zip_t*, zip_open, (const char* path, int flags, int* error), (path, flags, error))
POSTRELLA_ZIP_FORWARD(zip_t*, zip_open_from_source, (zip_source_t * source, int flags, zip_error_t* error),
                      (source, flags, error))
POSTRELLA_ZIP_FORWARD(int, zip_set_default_password, (zip_t * archive, const char* password), (archive, password))
POSTRELLA_ZIP_FORWARD(zip_source_t*, zip_source_buffer_create,
                      (const void* data, zip_uint64_t size, int freeWhenDone, zip_error_t* error),
                      (data, size, freeWhenDone, error))
POSTRELLA_ZIP_FORWARD(void, zip_source_free, (zip_source_t * source), (source))
POSTRELLA_ZIP_FORWARD(int, zip_stat_index, (zip_t * archive, zip_uint64_t index, zip_flags_t flags, zip_stat_t* stat),
                      (archive, index, flags, stat))
POSTRELLA_ZIP_FORWARD(void, zip_stat_init, (zip_stat_t * stat), (stat))
