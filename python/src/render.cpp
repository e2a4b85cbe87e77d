// stitchkit.render: a preview picture of a design.

#include <cstring>
#include <string>

#include "python/src/binding.h"
#include "stitchkit/jobs/design_render.h"

namespace stitchkit::python {
namespace {

// The job result of a rendering result.
int renderJobResult(int result) {
  switch (result) {
    case kRenderUnknownExtension:
    case kRenderBadWidth:
      return kJobBadRequest;
    default:
      return kJobWriteFailed;
  }
}

void render(const py::object& source, const py::object& outObject, int width, bool jumps,
            const std::string& background) {
  const std::string out = pathArgument(outObject);
  if (background != "white" && background != "transparent")
    throw py::value_error("background is 'white' or 'transparent'");
  const RenderOptions options{width, jumps, background == "white"};
  int result = kRenderOk;
  int systemError = 0;
  if (py::isinstance<Design>(source)) {
    const Design& design = source.cast<const Design&>();
    py::gil_scoped_release release;
    result = renderDesign(design.file.stitches, design.file.palette, out, options, &systemError);
  } else {
    const std::string path = pathArgument(source);
    DesignFile design;
    JobStatus status;
    {
      py::gil_scoped_release release;
      status = readDesignFile(path, design);
      if (status)
        result = renderDesign(design.stitches, design.palette, out, options, &systemError);
    }
    if (!status) raiseError(status.result, path, status.message);
  }
  if (result != kRenderOk) {
    std::string message = renderResultMessage(result);
    if (systemError != 0) message += std::string(": ") + std::strerror(systemError);
    raiseError(renderJobResult(result), out, message);
  }
}

}  // namespace

void registerRender(py::module_& module) {
  module.def("render", &render, py::arg("source"), py::arg("out"), py::kw_only(),
             py::arg("width") = 1000, py::arg("jumps") = false,
             py::arg("background") = "transparent", R"(Draws a preview of a design.

source is a design file's path or a Design; out a .png or .svg file, written through a
temporary file that replaces it when whole. width is the picture's width in pixels (16 to
8192; the height follows the design); jumps=True draws moves without sewing as thin lines;
background is "transparent" or "white". Raises stitchkit.Error (READ_FAILED for the source,
BAD_REQUEST for an extension or width it cannot draw, WRITE_FAILED when out cannot be
written or there is nothing to draw). The interpreter lock is released while drawing.)");
}

}  // namespace stitchkit::python
