// The Design class and its companions (Stats, Thread, WriteReport) and stitchkit.read.

#include <pybind11/stl.h>

#include <cstddef>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "python/src/binding.h"

namespace stitchkit::python {
namespace {

// The highest command code a stitch may carry.
constexpr int kLastStitchCode = StitchCode::DropSequinW;

// Byte offsets of the fields the NumPy view shows.
struct StitchLayout {
  std::size_t x, y, code, colour;
};

// Where one value of `size` bytes equal to `value` sits in `bytes`; SIZE_MAX unless exactly
// once.
std::size_t uniqueOffset(const unsigned char* bytes, const void* value, std::size_t size) {
  std::size_t found = std::numeric_limits<std::size_t>::max();
  for (std::size_t at = 0; at + size <= sizeof(HStitch); ++at) {
    if (std::memcmp(bytes + at, value, size) != 0) continue;
    if (found != std::numeric_limits<std::size_t>::max())
      return std::numeric_limits<std::size_t>::max();
    found = at;
  }
  return found;
}

// The stitch record keeps its fields private; their offsets are found by building a stitch
// with distinct values in zeroed storage and locating each value, twice with other values.
std::optional<StitchLayout> probeLayout() {
  std::optional<StitchLayout> layout;
  const std::pair<short, unsigned short> probes[] = {{0x1357, 0xC3B1}, {0x2468, 0x5A3C}};
  for (const auto& [xy, colour] : probes) {
    alignas(HStitch) unsigned char storage[sizeof(HStitch)] = {};
    const std::uint8_t code = static_cast<std::uint8_t>(0x80 | (xy & 0x3F));
    const short x = xy;
    const short y = static_cast<short>(xy + 0x1111);
    auto* stitch = new (storage) HStitch(x, y, code, colour);
    const StitchLayout found{
        uniqueOffset(storage, &x, sizeof x), uniqueOffset(storage, &y, sizeof y),
        uniqueOffset(storage, &code, sizeof code), uniqueOffset(storage, &colour, sizeof colour)};
    stitch->~HStitch();
    if (found.x > sizeof(HStitch) || found.y > sizeof(HStitch) || found.code > sizeof(HStitch) ||
        found.colour > sizeof(HStitch))
      return std::nullopt;
    if (layout && (layout->x != found.x || layout->y != found.y || layout->code != found.code ||
                   layout->colour != found.colour))
      return std::nullopt;
    layout = found;
  }
  return layout;
}

py::dtype makeStitchDtype() {
  const std::optional<StitchLayout> layout = probeLayout();
  if (!layout) throw std::runtime_error("stitchkit: the stitch record's layout is not recognised");
  py::dict fields;
  fields["names"] = py::make_tuple("x", "y", "code", "colour");
  fields["formats"] = py::make_tuple("i2", "i2", "u1", "u2");  // in the machine's byte order
  fields["offsets"] = py::make_tuple(layout->x, layout->y, layout->code, layout->colour);
  fields["itemsize"] = sizeof(HStitch);
  return py::dtype::from_args(fields);
}

// Made once and never released: a Python object must not be destroyed after the interpreter.
const py::dtype& stitchDtype() {
  static const py::dtype* dtype = new py::dtype(makeStitchDtype());
  return *dtype;
}

// The figures of a design, as Python reads them.
struct StatsView {
  int stitches = 0;
  int jumps = 0;
  int trims = 0;
  int commands = 0;
  int colour_changes = 0;
  std::vector<int> needles;
  std::vector<int> block_stitches;
  int min_x = 0, min_y = 0, max_x = 0, max_y = 0;
  std::pair<int, int> start, end;
  int max_move = 0;
  double thread_length = 0.0;
};

StatsView statsView(const StitchStats& stats) {
  StatsView view;
  view.stitches = stats.stitchCount;
  view.jumps = stats.jumpCount;
  view.trims = stats.trimCount;
  view.commands = stats.commandCount;
  view.colour_changes = stats.colourChangeCount;
  for (short needle : stats.needles)
    view.needles.push_back(needle);
  for (int count : stats.colourStitchCounts)
    view.block_stitches.push_back(count);
  view.needles.resize(static_cast<std::size_t>(stats.needleCount));
  view.block_stitches.resize(static_cast<std::size_t>(stats.needleCount));
  if (stats.minX <= stats.maxX) {
    view.min_x = stats.minX, view.min_y = stats.minY, view.max_x = stats.maxX,
    view.max_y = stats.maxY;
  }
  view.start = {stats.startX, stats.startY};
  view.end = {stats.endX, stats.endY};
  view.max_move = stats.maxMove;
  view.thread_length = stats.threadLength;
  return view;
}

struct ThreadView {
  std::uint32_t rgb = 0;
  std::string name, code, manufacturer;
};

std::vector<ThreadView> paletteView(const ThreadPalette& palette) {
  std::vector<ThreadView> threads;
  for (const ThreadProperty& thread : palette)
    threads.push_back(ThreadView{thread.colour, strToUtf8(thread.name), strToUtf8(thread.code),
                                 strToUtf8(thread.manufacturer)});
  return threads;
}

struct WriteReportView {
  int format = kFormatNone;
  std::string machine;
  bool end_added = false;
  StatsView stats;
  int stops = 0;
};

// One field of a structured array as whole numbers, each within [low, high].
py::array_t<long long> integerField(const py::array& stitches, const char* name, long long low,
                                    long long high) {
  const py::array field = stitches[py::str(name)];
  const char kind = field.dtype().kind();
  if (kind != 'i' && kind != 'u')
    throw py::value_error(std::string("stitches field ") + name + " must hold whole numbers");
  py::array_t<long long, py::array::c_style | py::array::forcecast> values(field);
  const long long* v = values.data();
  for (py::ssize_t i = 0; i < values.size(); ++i) {
    if (v[i] < low || v[i] > high)
      throw py::value_error("stitch " + std::to_string(i) + ": " + name + " " +
                            std::to_string(v[i]) + " is outside " + std::to_string(low) + " to " +
                            std::to_string(high));
  }
  return values;
}

std::unique_ptr<Design> designFromArray(const py::array& stitches,
                                        const std::vector<ThreadView>& palette) {
  if (stitches.ndim() != 1) throw py::value_error("stitches must be a one-dimensional array");
  const py::object names = stitches.dtype().attr("names");
  for (const char* field : {"x", "y", "code", "colour"}) {
    if (names.is_none() || !names.contains(field))
      throw py::value_error("stitches need the fields x, y, code and colour");
  }
  const auto xs = integerField(stitches, "x", -32768, 32767);
  const auto ys = integerField(stitches, "y", -32768, 32767);
  const auto codes = integerField(stitches, "code", 0, kLastStitchCode);
  const auto colours = integerField(stitches, "colour", 0, 65535);
  auto design = std::make_unique<Design>();
  DesignFile& file = design->file;
  const int count = static_cast<int>(stitches.shape(0));
  file.stitches.setAllocSize(count + 1);
  for (int i = 0; i < count; ++i)
    file.stitches.add(HStitch(static_cast<short>(xs.data()[i]), static_cast<short>(ys.data()[i]),
                              static_cast<std::uint8_t>(codes.data()[i]),
                              static_cast<unsigned short>(colours.data()[i])));
  for (const ThreadView& thread : palette)
    file.palette.add(ThreadProperty(thread.rgb, utf8ToStr(thread.name), utf8ToStr(thread.code),
                                    utf8ToStr(thread.manufacturer)));
  file.stats.setupStitchStats(file.stitches, 1, 0, 0);
  return design;
}

// The view over the design's stitches; the Design object is its base and keeps it alive.
py::array stitchView(py::object self) {
  HXArray<HStitch>& stitches = self.cast<Design&>().file.stitches;
  return py::array(stitchDtype(), {static_cast<py::ssize_t>(stitches.length())},
                   {static_cast<py::ssize_t>(sizeof(HStitch))}, stitches.data(), self);
}

// The message for the option value `value` as its text ("1" for True).
std::string optionText(const py::handle& value) {
  if (py::isinstance<py::bool_>(value)) return value.cast<bool>() ? "1" : "0";
  return py::str(value).cast<std::string>();
}

WriteReportView writeDesign(Design& design, const py::object& pathObject,
                            std::optional<std::string> machine, std::optional<int> format,
                            const py::kwargs& options) {
  const std::string path = pathArgument(pathObject);
  WriteRequest request;
  if (format) request.format = static_cast<HDiskFileFormat>(*format);
  if (machine) request.machine = *machine;
  for (const auto& [key, value] : options)
    request.settings.emplace_back(py::str(key).cast<std::string>(), optionText(value));

  WriteReport report;
  JobStatus status;
  std::string badCode;
  {
    py::gil_scoped_release release;
    const HXArray<HStitch>& stitches = design.file.stitches;
    for (int i = 0; i < stitches.length() && badCode.empty(); ++i) {
      if (stitches[i].getFlags() > kLastStitchCode)
        badCode = "stitch " + std::to_string(i) + " has code " +
                  std::to_string(stitches[i].getFlags()) + ", which names no command";
    }
    if (badCode.empty()) {
      // The writer rewrites the design it is given to what it wrote; it works on a copy so
      // that the design, and every view of it, stays as it is.
      DesignFile copy = design.file;
      status = writeDesignFile(path, copy, request, report);
    }
  }
  if (!badCode.empty()) raiseError(kJobBadRequest, path, badCode);
  if (!status) raiseError(status.result, path, status.message);
  return WriteReportView{report.format, report.machine, report.endAdded, statsView(report.written),
                         report.stops};
}

std::unique_ptr<Design> readDesign(const py::object& pathObject,
                                   const std::optional<std::string>& machine) {
  const std::string path = pathArgument(pathObject);
  auto design = std::make_unique<Design>();
  JobStatus status;
  {
    py::gil_scoped_release release;
    status = readDesignFile(path, design->file, machine.value_or(std::string()));
  }
  if (!status) raiseError(status.result, path, status.message);
  return design;
}

template <typename Class>
void addRepr(Class& cls, const char* format) {
  cls.def("__repr__", [format](const py::object& self) {
    return py::str(format).format(**py::dict(py::arg("s") = self));
  });
}

}  // namespace

void registerDesign(py::module_& module) {
  stitchDtype();
  module.attr("STITCH_DTYPE") = stitchDtype();
  module.attr("LAST_STITCH_CODE") = kLastStitchCode;

  py::class_<StatsView> stats(module, "Stats", R"(Figures of a design, in 0.1 mm.

stitches, jumps, trims, commands and colour_changes are counts; needles is the needle of
each needle block in order and block_stitches the stitches of each; min_x, min_y, max_x and
max_y the extents; start and end the first and last points as (x, y); max_move the longest
single-axis move; thread_length the estimated thread.)");
  stats.def_readonly("stitches", &StatsView::stitches)
      .def_readonly("jumps", &StatsView::jumps)
      .def_readonly("trims", &StatsView::trims)
      .def_readonly("commands", &StatsView::commands)
      .def_readonly("colour_changes", &StatsView::colour_changes)
      .def_readonly("needles", &StatsView::needles)
      .def_readonly("block_stitches", &StatsView::block_stitches)
      .def_readonly("min_x", &StatsView::min_x)
      .def_readonly("min_y", &StatsView::min_y)
      .def_readonly("max_x", &StatsView::max_x)
      .def_readonly("max_y", &StatsView::max_y)
      .def_readonly("start", &StatsView::start)
      .def_readonly("end", &StatsView::end)
      .def_readonly("max_move", &StatsView::max_move)
      .def_readonly("thread_length", &StatsView::thread_length)
      .def_property_readonly("width", [](const StatsView& s) { return s.max_x - s.min_x; })
      .def_property_readonly("height", [](const StatsView& s) { return s.max_y - s.min_y; });
  addRepr(stats,
          "Stats(stitches={s.stitches}, jumps={s.jumps}, trims={s.trims}, "
          "needles={s.needles}, width={s.width}, height={s.height})");

  py::class_<ThreadView> thread(module, "Thread", R"(One thread of a palette.

rgb is the colour as 0xRRGGBB; name, code and manufacturer are texts (empty when the file
names none). Thread i of a palette is used by the stitches of colour i.)");
  thread
      .def(py::init([](std::uint32_t rgb, std::string name, std::string code, std::string maker) {
             if (rgb > 0xFFFFFF) throw py::value_error("rgb takes 0 to 0xFFFFFF");
             return ThreadView{rgb, std::move(name), std::move(code), std::move(maker)};
           }),
           py::arg("rgb"), py::arg("name") = "", py::arg("code") = "", py::arg("manufacturer") = "")
      .def_readonly("rgb", &ThreadView::rgb)
      .def_readonly("name", &ThreadView::name)
      .def_readonly("code", &ThreadView::code)
      .def_readonly("manufacturer", &ThreadView::manufacturer);
  addRepr(thread, "Thread(rgb=0x{s.rgb:06x}, name={s.name!r}, code={s.code!r})");

  py::class_<WriteReportView> report(module, "WriteReport", R"(What Design.write wrote.

format is the format code written; machine the machine format's name (empty: the writer's
defaults); end_added whether a design end was added; stats the figures of the written file as
read back; stops the stops it holds.)");
  report.def_readonly("format", &WriteReportView::format)
      .def_readonly("machine", &WriteReportView::machine)
      .def_readonly("end_added", &WriteReportView::end_added)
      .def_readonly("stats", &WriteReportView::stats)
      .def_readonly("stops", &WriteReportView::stops);
  addRepr(report,
          "WriteReport(format={s.format}, machine={s.machine!r}, stitches={s.stats.stitches})");

  py::class_<Design> design(module, "Design", R"(A design: its stitches, figures and threads.

A Design comes from stitchkit.read or is built from a NumPy array of stitches:
Design(stitches, palette=()) copies each record, checking that x and y are 16-bit,
colour 0 to 65535 and code a command code (0 to LAST_STITCH_CODE).)");
  design
      .def(py::init(&designFromArray), py::arg("stitches"),
           py::arg("palette") = std::vector<ThreadView>(),
           "Builds a design from an array with the fields x, y, code and colour (any whole-number "
           "types) and a list of Thread.")
      .def("__len__", [](Design& d) { return d.file.stitches.length(); })
      .def_property_readonly("stitches", &stitchView, R"(The stitches as a NumPy structured array.

The array is a view of the design's own records (dtype STITCH_DTYPE: x and y int16 in 0.1 mm,
code uint8 the command code, colour uint16 the zero-based needle), not a copy; the Design
stays alive while the array does. Writing into it changes the design in place: Design.write
writes the points, codes and colours as they stand, while stats keep the figures as read or
built; a code above LAST_STITCH_CODE makes Design.write fail. Changing a design from one
thread while another writes it gives no defined result.)")
      .def_property_readonly(
          "stats", [](Design& d) { return statsView(d.file.stats); },
          "The design's figures (Stats) as read or built.")
      .def_property_readonly(
          "palette", [](Design& d) { return paletteView(d.file.palette); },
          "The threads the file carries, a list of Thread (empty for formats without them).")
      .def("write", &writeDesign, py::arg("path"), py::arg("machine") = py::none(), py::kw_only(),
           py::arg("format") = py::none(), R"(Writes the design to path and returns a WriteReport.

The format is the one path's extension names unless format gives a code (see
stitchkit.formats()). machine names a machine format (installed, then factory; see
stitchkit.machines()); without it the best one for the format is taken. Further keyword
arguments change options of that machine format for this write by their profile names, as
in design.write("out.dst", MaxLength=121, TrimsAsJumps=True). The file is written to a
temporary file beside path and renamed over it only when complete. The writer shapes a copy
of the design (long moves split, needles folded, a design end added when missing); the
design itself is not changed. The interpreter lock is released while writing. Raises
stitchkit.Error
(result BAD_REQUEST for an unknown machine, option or value, WRITE_FAILED when the file
cannot be written).)")
      .def("__repr__", [](Design& d) {
        return "<stitchkit.Design with " + std::to_string(d.file.stitches.length()) +
               " stitches, " + std::to_string(d.file.palette.length()) + " threads>";
      });

  module.def("read", &readDesign, py::arg("path"), py::arg("machine") = py::none(),
             R"(Reads the design file at path into a Design.

Every format the library reads is taken, whatever the extension; when the extension names no
format or one the content does not fit, the format is found from the content. The file is
read whole. machine names a machine format (see machines()) whose reading options the stitch
formats are read with (how jump runs, stops and changeovers are read); it must read the
file's format. Containers (KVB, KVC, EDF) and other makers' designs read as they are. The
interpreter lock is released while reading, so threads read files in parallel. Raises
stitchkit.Error naming the file: result READ_FAILED when it cannot be read, BAD_REQUEST for
a machine format that does not exist or reads another format.)");
}

}  // namespace stitchkit::python
