#include "python/python_int.hpp"

#include <vector>

namespace pellimor::python {

pybind11::int_ to_python_int(const mpz_class& value) {
    if (mpz_fits_ulong_p(value.get_mpz_t()) != 0) {
        return pybind11::int_(mpz_get_ui(value.get_mpz_t()));
    }
    const std::size_t size = (mpz_sizeinbase(value.get_mpz_t(), 2) + 7) / 8;
    std::vector<unsigned char> bytes(size);
    std::size_t written = 0;
    mpz_export(bytes.data(), &written, -1, 1, 0, 0, value.get_mpz_t());  // least significant first
    PyObject* const result = _PyLong_FromByteArray(bytes.data(), written, 1, 0);
    if (result == nullptr) {
        throw pybind11::error_already_set();
    }
    return pybind11::reinterpret_steal<pybind11::int_>(result);
}

}  // namespace pellimor::python
