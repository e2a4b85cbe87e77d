// The stitchkit._stitchkit extension module: the host application, errors, the format table
// and the machine formats; the design classes are in design.cpp.

#include <pybind11/stl.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "python/src/binding.h"
#include "stitchkit/jobs/machine_lookup.h"
#include "stitchkit/machine/machine_format_catalogue.h"
#include "stitchkit/platform/settings_file_host.h"

namespace stitchkit::python {
namespace {

// The settings directory of the environment's XDG_CONFIG_HOME and HOME.
std::string configDirectory() {
  return SettingsFileHost::configDirectory(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

HString machineDisplayName(int id) {
  return defaultMachineFormatDisplayName(id);
}

// The module is the host application of the machine format catalogue for the life of the
// process (it is never unloaded), with the command-line tool's directories.
SettingsFileHost& installHost() {
  static SettingsFileHost* host = [] {
    const std::string directory = configDirectory();
    auto* installed =
        new SettingsFileHost(fromNativePath(directory + "/machines"),
                             fromNativePath(directory + "/stitchkit.ini"), machineDisplayName);
    setConsoleApp(installed);
    return installed;
  }();
  return *host;
}

struct FormatView {
  int code = kFormatNone;
  std::string family;
  std::vector<std::string> extensions;
  std::string numbered;
  std::string written_as;
  std::string role;
};

std::vector<FormatView> formats() {
  std::vector<FormatView> rows;
  for (const DiskFormatInfo& info : diskFormatTable()) {
    FormatView row{info.code,
                   std::string(diskFormatFamilyName(info.family)),
                   {},
                   info.numberedLetter != 0 ? std::string(1, info.numberedLetter) : std::string(),
                   std::string(info.writtenAs),
                   std::string(info.role)};
    for (std::string_view extension : info.readFrom) {
      if (!extension.empty()) row.extensions.emplace_back(extension);
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

struct MachineView {
  std::string name;
  std::vector<int> formats;
  std::string format_type;
  bool installed = false;
  bool can_delete = false;
  bool is_default = false;
};

std::vector<MachineView> machines() {
  SettingsFileHost& host = installHost();
  std::vector<MachineView> listed;
  HString byDefault;
  if (!host.getDefaultMachineFormat(byDefault)) byDefault = HString();
  for (const ListedMachine& machine : listMachineFormats()) {
    listed.push_back(MachineView{machine.name,
                                 {machine.codes.begin(), machine.codes.end()},
                                 machine.formatType,
                                 machine.installed,
                                 machine.canDelete,
                                 machine.installed && utf8ToStr(machine.name) == byDefault});
  }
  return listed;
}

}  // namespace

std::string pathArgument(const py::handle& path) {
  const py::bytes encoded = py::module_::import("os").attr("fsencode")(path);
  std::string bytes = encoded;
  if (bytes.find('\0') != std::string::npos) throw py::value_error("embedded null byte in path");
  return bytes;
}

void raiseError(int result, const std::string& path, const std::string& message) {
  const py::object errorType = py::module_::import("stitchkit._errors").attr("Error");
  const py::str shownPath = py::module_::import("os").attr("fsdecode")(py::bytes(path));
  const py::object error =
      errorType(py::str("{}: {}").format(shownPath, message), result, shownPath);
  PyErr_SetObject(errorType.ptr(), error.ptr());
  throw py::error_already_set();
}

}  // namespace stitchkit::python

PYBIND11_MODULE(_stitchkit, module) {
  namespace py = pybind11;
  using namespace stitchkit;
  using namespace stitchkit::python;

  module.doc() = "The stitchkit library for Python: see the stitchkit package.";
  installHost();
  module.attr("MACHINE_DIRECTORY") = py::module_::import("os").attr("fsdecode")(
      py::bytes(toNativePath(installHost().getMachineFormatDirectory())));
  module.attr("OK") = kJobOk;
  module.attr("READ_FAILED") = kJobReadFailed;
  module.attr("BAD_REQUEST") = kJobBadRequest;
  module.attr("WRITE_FAILED") = kJobWriteFailed;

  registerDesign(module);
  registerCheck(module);
  registerRender(module);

  py::class_<FormatView>(module, "Format", R"(One row of the disk file format table.

code is the format code (Design.write(format=...)); family the name of the format family
("DST", "DSB", ...; empty for none); extensions the extensions that read as the code;
numbered the letter that, followed by two digits, also reads as it (".Z00"; empty for none);
written_as the extension it is written as ("." for none, empty when not written); role what
the library does with the format (empty for formats it only names).)")
      .def_readonly("code", &FormatView::code)
      .def_readonly("family", &FormatView::family)
      .def_readonly("extensions", &FormatView::extensions)
      .def_readonly("numbered", &FormatView::numbered)
      .def_readonly("written_as", &FormatView::written_as)
      .def_readonly("role", &FormatView::role)
      .def("__repr__", [](const FormatView& f) {
        return "Format(code=" + std::to_string(f.code) + ", written_as='" + f.written_as + "')";
      });
  module.def("formats", &formats, "The disk file format table, a list of Format in code order.");

  py::class_<MachineView>(module, "Machine", R"(A machine format: a named set of machine options.

formats are the format codes it writes; format_type its type text; installed is True for one
installed in MACHINE_DIRECTORY, False for the built-in factory line; can_delete True for a
user machine format; default True for the installed default.)")
      .def_readonly("name", &MachineView::name)
      .def_readonly("formats", &MachineView::formats)
      .def_readonly("format_type", &MachineView::format_type)
      .def_readonly("installed", &MachineView::installed)
      .def_readonly("can_delete", &MachineView::can_delete)
      .def_readonly("default", &MachineView::is_default)
      .def("__repr__", [](const MachineView& m) {
        return "Machine(name='" + m.name + "', installed=" + (m.installed ? "True" : "False") + ")";
      });
  module.def("machines", &machines,
             R"(The machine formats: the installed ones, then the factory line.

Installed machine formats are the profiles in MACHINE_DIRECTORY
(${XDG_CONFIG_HOME:-$HOME/.config}/stitchkit/machines when the module was imported), as the
command-line tool keeps them. Any name listed here may be passed as machine= to Design.write.)");
}
