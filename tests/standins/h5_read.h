// Reading a record file back through the HDF5 library: groups in creation
// order, text, integer and real attributes, and whole series.
#pragma once

#include <hdf5.h>

#include <string>
#include <vector>

namespace wakro_test {

class H5File {
 public:
  explicit H5File(const std::string& path) {
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    id_ = H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
  }
  ~H5File() {
    if (id_ >= 0) H5Fclose(id_);
  }
  H5File(const H5File&) = delete;
  H5File& operator=(const H5File&) = delete;

  bool ok() const { return id_ >= 0; }
  bool has(const std::string& path) const {
    if (id_ < 0) return false;
    // Every step of the path must exist.
    std::string partial;
    for (std::size_t at = 1; at <= path.size(); ++at) {
      if (at == path.size() || path[at] == '/') {
        partial = path.substr(0, at);
        if (H5Lexists(id_, partial.c_str(), H5P_DEFAULT) <= 0) return false;
      }
    }
    return true;
  }
  // Names of the links of a group, in creation order.
  std::vector<std::string> children(const std::string& path) const {
    std::vector<std::string> names;
    const hid_t g = H5Gopen2(id_, path.c_str(), H5P_DEFAULT);
    if (g < 0) return names;
    H5G_info_t info;
    H5Gget_info(g, &info);
    for (hsize_t k = 0; k < info.nlinks; ++k) {
      char name[256] = {};
      H5Lget_name_by_idx(g, ".", H5_INDEX_CRT_ORDER, H5_ITER_INC, k, name, sizeof name, H5P_DEFAULT);
      names.emplace_back(name);
    }
    H5Gclose(g);
    return names;
  }
  std::string text(const std::string& path, const std::string& attr) const {
    const hid_t a = H5Aopen_by_name(id_, path.c_str(), attr.c_str(), H5P_DEFAULT, H5P_DEFAULT);
    if (a < 0) return "<none>";
    const hid_t t = H5Aget_type(a);
    std::vector<char> buf(H5Tget_size(t) + 1, '\0');
    H5Aread(a, t, buf.data());
    H5Tclose(t);
    H5Aclose(a);
    return buf.data();
  }
  long integer(const std::string& path, const std::string& attr) const {
    int v = -999;
    const hid_t a = H5Aopen_by_name(id_, path.c_str(), attr.c_str(), H5P_DEFAULT, H5P_DEFAULT);
    if (a < 0) return -999;
    H5Aread(a, H5T_NATIVE_INT, &v);
    H5Aclose(a);
    return v;
  }
  double real(const std::string& path, const std::string& attr) const {
    double v = -999.0;
    const hid_t a = H5Aopen_by_name(id_, path.c_str(), attr.c_str(), H5P_DEFAULT, H5P_DEFAULT);
    if (a < 0) return v;
    H5Aread(a, H5T_NATIVE_DOUBLE, &v);
    H5Aclose(a);
    return v;
  }
  std::vector<double> series(const std::string& path) const {
    std::vector<double> v;
    const hid_t d = H5Dopen2(id_, path.c_str(), H5P_DEFAULT);
    if (d < 0) return v;
    const hid_t s = H5Dget_space(d);
    hsize_t n = 0;
    H5Sget_simple_extent_dims(s, &n, nullptr);
    v.resize(n);
    if (n > 0) H5Dread(d, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, v.data());
    H5Sclose(s);
    H5Dclose(d);
    return v;
  }

 private:
  hid_t id_ = -1;
};

}  // namespace wakro_test
