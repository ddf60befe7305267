# Writes OUTPUT, a C++ file holding each file of INPUTS as a byte table, found by file name
# through EmbeddedFile (assets/embedded_files.h).
set(tables "")
set(entries "")
set(index 0)
foreach(input IN LISTS INPUTS)
    get_filename_component(name ${input} NAME)
    file(READ ${input} hex HEX)
    string(LENGTH "${hex}" hex_length)
    math(EXPR size "${hex_length} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    # 24 bytes a line (CMake's expressions have no counted repeats).
    string(REPEAT "0x..," 24 line)
    string(REGEX REPLACE "(${line})" "\\1\n    " bytes "${bytes}")
    string(APPEND tables "alignas(4) const std::uint8_t kFile${index}[${size}] = {\n    ${bytes}\n};\n\n")
    string(APPEND entries "    {\"${name}\", kFile${index}, ${size}},\n")
    math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUTPUT} "// Generated from Ferrox's committed bitmaps by assets/embed_files.cmake; do not edit.
#include \"assets/embedded_files.h\"

#include <cstring>

namespace {
${tables}struct Entry {
    const char* name;
    const std::uint8_t* bytes;
    std::size_t size;
};

const Entry kEntries[] = {
${entries}};
}  // namespace

std::span<const std::uint8_t> EmbeddedFile(const char* name) {
    if (name == nullptr) return {};
    for (const Entry& entry : kEntries) {
        if (std::strcmp(entry.name, name) == 0) return {entry.bytes, entry.size};
    }
    return {};
}
")
