#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <mutex>
#include <string>

#include "stitchkit/jobs/design_file.h"

// Shared pieces of the Python module: the design object, the error it raises and the
// registration of each part.
namespace stitchkit::python {

namespace py = pybind11;

// A design held by Python. Once a NumPy view of its stitches exists (`viewed`) the storage
// is never reallocated: it keeps room for the design end a write may add, and a write that
// would need more works on a copy, so views stay valid for the object's lifetime. `writing`
// guards the design while a write runs without the interpreter lock.
struct Design {
  DesignFile file;
  bool viewed = false;
  std::mutex writing;
};

// A path argument (str, bytes or os.PathLike) as the bytes the system takes.
std::string pathArgument(const py::handle& path);

// Raises stitchkit.Error with `result`, `path` and "path: message".
[[noreturn]] void raiseError(int result, const std::string& path, const std::string& message);

void registerDesign(py::module_& module);
void registerCatalogue(py::module_& module);

}  // namespace stitchkit::python
