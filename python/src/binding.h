#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <string>

#include "stitchkit/jobs/design_file.h"

// Shared pieces of the Python module: the design object, the error it raises and the
// registration of each part.
namespace stitchkit::python {

namespace py = pybind11;

// A design held by Python. Its stitches are not changed or moved once it is made (writing
// works on a copy), so NumPy views of them stay valid for the object's lifetime.
struct Design {
  DesignFile file;
};

// A path argument (str, bytes or os.PathLike) as the bytes the system takes.
std::string pathArgument(const py::handle& path);

// Raises stitchkit.Error with `result`, `path` and "path: message".
[[noreturn]] void raiseError(int result, const std::string& path, const std::string& message);

void registerDesign(py::module_& module);
void registerCheck(py::module_& module);
void registerRender(py::module_& module);

}  // namespace stitchkit::python
