#include "io/output_place.h"

#include "io/path_names.h"

namespace wordperm {

OutputPlace output_place(const std::string& path) {
    OutputPlace place;
    std::string final_path = path;
    int descriptor = -1;
    int error_number = 0;
    if (!follow_links(final_path, descriptor, error_number)) return place;
    if (descriptor >= 0) {
        place.file = identity_of_descriptor(descriptor);
        return place;
    }
    place.file = identity_of_path(final_path.c_str());
    if (!place.file) {
        place.directory = identity_of_path(directory_name_of(final_path).c_str());
        place.name = std::string(base_name_of(final_path));
    }
    return place;
}

bool replaces(const OutputPlace& place, const std::optional<FileIdentity>& input) {
    return same_file(place.file, input) && input->regular();
}

bool same_place(const OutputPlace& a, const OutputPlace& b) {
    if (a.file || b.file) return same_file(a.file, b.file) && a.file->regular();
    return same_file(a.directory, b.directory) && a.name == b.name;
}

}  // namespace wordperm
