// stitchkit.check: a design file against what a machine can do.

#include <pybind11/stl.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "python/src/binding.h"
#include "stitchkit/jobs/design_check.h"
#include "stitchkit/jobs/machine_lookup.h"

namespace stitchkit::python {
namespace {

struct FindingView {
  std::string severity;
  std::string code;
  std::string message;
};

using FieldSides = std::pair<std::optional<double>, std::optional<double>>;

std::vector<FindingView> check(const py::object& pathObject, std::optional<std::string> machine,
                               std::optional<FieldSides> field) {
  const std::string path = pathArgument(pathObject);
  std::optional<StitchOptions> options;
  if (machine) {
    bool isFactory = false;
    options = findMachine(*machine, std::nullopt, isFactory);
    if (!options) raiseError(kJobBadRequest, path, "no machine format is named '" + *machine + "'");
  }
  CheckLimits limits;
  if (field) {
    for (const std::optional<double>& side : {field->first, field->second}) {
      if (side && !(*side > 0.0)) throw py::value_error("field sides are millimetres above 0");
    }
    limits.fieldWidthMm = field->first;
    limits.fieldHeightMm = field->second;
  }
  std::vector<CheckFinding> findings;
  int result = 0;
  {
    py::gil_scoped_release release;
    result = checkDesignFile(path, options ? &*options : nullptr, limits, findings);
  }
  if (result != 0) {
    std::string why = "cannot be read";
    for (const CheckFinding& finding : findings) {
      if (finding.code == "unreadable") why = finding.message;
    }
    raiseError(kJobReadFailed, path, why);
  }
  std::vector<FindingView> views;
  for (CheckFinding& finding : findings)
    views.push_back(FindingView{checkSeverityName(finding.severity), std::move(finding.code),
                                std::move(finding.message)});
  return views;
}

}  // namespace

void registerCheck(py::module_& module) {
  py::class_<FindingView>(module, "Finding", R"(One finding of stitchkit.check.

severity is "error" (the machine would refuse the file, stop, or sew something other than
meant), "warning" or "note"; code a stable name ("end-record", "move-too-long",
"needle-limit", "field-size", ...); message a sentence.)")
      .def_readonly("severity", &FindingView::severity)
      .def_readonly("code", &FindingView::code)
      .def_readonly("message", &FindingView::message)
      .def("__repr__", [](const FindingView& f) {
        return "Finding(" + f.severity + ", " + f.code + ": " + f.message + ")";
      });
  module.def("check", &check, py::arg("path"), py::arg("machine") = py::none(), py::kw_only(),
             py::arg("field") = py::none(), R"(Checks a design file before it goes to a machine.

The file is read as the machine format named by machine reads it (the best one for the file's
format when None) and compared with what that machine can do; field=(width, height) in
millimetres, either side None for open, is the hoop or frame the design must fit around its
start point. Returns the findings, a list of Finding; any with severity "error" would stop
the machine. Raises stitchkit.Error (READ_FAILED when the file cannot be read, BAD_REQUEST
for an unknown machine format). The interpreter lock is released while checking.)");
}

}  // namespace stitchkit::python
