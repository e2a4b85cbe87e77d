#include <cerrno>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "cli/machine_host.h"
#include "cli/option_ranges.h"
#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/formats/file_format_registry.h"
#include "stitchkit/jobs/machine_lookup.h"
#include "stitchkit/machine/machine_format_catalogue.h"
#include "stitchkit/model/stitch_options_serializer.h"
#include "stitchkit/platform/h_file.h"
#include "stitchkit/platform/h_list.h"
#include "stitchkit/platform/h_profile.h"

namespace stitchkit::cli {
namespace {

constexpr std::string_view kCommand = "machines";

constexpr std::string_view kUsage =
    "Usage: stitchkit machines [--json] [--machines DIR]\n"
    "       stitchkit machines show NAME\n"
    "       stitchkit machines add NAME --from NAME|CODE [--set Key=Value]...\n"
    "       stitchkit machines default [NAME]\n"
    "       stitchkit machines remove NAME\n"
    "\n"
    "A machine format is a named set of writing options for one machine and the file format\n"
    "it reads; `stitchkit convert` writes with one. The factory line is built in; installed\n"
    "machine formats are profiles NAME.ini in ${XDG_CONFIG_HOME:-$HOME/.config}/stitchkit/\n"
    "machines, and the default's name is kept in .../stitchkit/stitchkit.ini.\n"
    "\n"
    "  (no action)   list the installed and the factory machine formats: name, file format,\n"
    "                whether it is the default and whether it may be removed\n"
    "  show NAME     print every option of machine format NAME\n"
    "  add NAME      install a user machine format: a copy of the machine format --from\n"
    "                names (installed or factory), or of the factory set of format CODE,\n"
    "                with the --set changes (options named as in `stitchkit machines show`)\n"
    "  default       print the default machine format; with NAME, make the installed\n"
    "                machine format NAME the default (convert uses it for its file format)\n"
    "  remove NAME   delete the user machine format NAME (factory ones stay)\n"
    "\n"
    "Options:\n"
    "  --json          list as a JSON array\n"
    "  --machines DIR  use DIR instead of the installed machine format folder\n"
    "  --help          show this help\n"
    "\n"
    "Exit status: 0 done, 1 a profile could not be read or written, 2 wrong usage.\n";

struct MachinesArgs {
  std::vector<std::string_view> words;  // action and its operands
  bool json = false;
  std::optional<std::string_view> from;
  std::vector<OptionSetting> settings;
  std::optional<std::string_view> machines;
};

int fail(std::string_view what, std::string_view reason) {
  std::cerr << "stitchkit " << kCommand << ": " << what << ": " << reason << '\n';
  return kExitFailure;
}

std::optional<MachinesArgs> parseArgs(std::span<const std::string_view> args, int& exitCode) {
  MachinesArgs parsed;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg.front() != '-') {
      parsed.words.push_back(arg);
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      exitCode = kExitOk;
      return std::nullopt;
    }
    std::string_view value;
    OptionMatch match = OptionMatch::kNoMatch;
    if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--json") {
      parsed.json = true;
    } else if ((match = matchValueOption(args, i, "--from", value)) == OptionMatch::kMatched) {
      parsed.from = value;
    } else if (match == OptionMatch::kNoMatch &&
               (match = matchValueOption(args, i, "--machines", value)) == OptionMatch::kMatched) {
      parsed.machines = value;
    } else if (match == OptionMatch::kNoMatch &&
               (match = matchValueOption(args, i, "--set", value)) == OptionMatch::kMatched) {
      const std::optional<OptionSetting> setting =
          parseOptionSetting(value, kCommand, kUsage, exitCode);
      if (!setting) return std::nullopt;
      parsed.settings.push_back(*setting);
    } else {
      exitCode = optionError(kCommand, arg, match, kUsage);
      return std::nullopt;
    }
  }
  return parsed;
}

std::string formatText(HDiskFileFormat code) {
  const HString ext = HFileFormat::convertFileFormatToExt(code);
  std::string text = std::to_string(static_cast<int>(code));
  if (ext.length() > 1) text += " " + strToUtf8(ext);
  return text;
}

std::string defaultName(MachineHost& host) {
  HString name;
  return host.host().getDefaultMachineFormat(name) ? strToUtf8(name) : std::string();
}

int runList(MachineHost& host, bool json) {
  const std::string byDefault = defaultName(host);
  const std::vector<ListedMachine> listed = listMachineFormats();
  if (json) {
    JsonWriter writer(std::cout);
    writer.beginArray();
    for (const ListedMachine& m : listed) {
      writer.beginObject();
      writer.key("name");
      writer.value(m.name);
      writer.key("fileFormats");
      writer.beginArray();
      for (HDiskFileFormat code : m.codes)
        writer.value(static_cast<int>(code));
      writer.endArray();
      writer.key("formatType");
      writer.value(m.formatType);
      writer.key("source");
      writer.value(m.installed ? "installed" : "factory");
      writer.key("canDelete");
      writer.value(m.canDelete);
      writer.key("default");
      writer.value(m.installed && m.name == byDefault);
      writer.endObject();
    }
    writer.endArray();
    std::cout << '\n';
    return kExitOk;
  }
  std::cout << "installed in " << host.machineDirectory() << ":\n";
  bool any = false;
  for (const ListedMachine& m : listed) {
    if (!m.installed) continue;
    any = true;
    std::cout << "  " << m.name << (m.name == byDefault ? " (default)" : "") << ": format "
              << formatText(m.codes.front()) << ", " << (m.canDelete ? "user" : "factory")
              << ", type " << m.formatType << '\n';
  }
  if (!any) std::cout << "  none\n";
  std::cout << "factory (built in, cannot be removed):\n";
  for (const ListedMachine& m : listed) {
    if (m.installed) continue;
    std::cout << "  " << m.name << ": format";
    for (HDiskFileFormat code : m.codes)
      std::cout << ' ' << static_cast<int>(code);
    std::cout << '\n';
  }
  return kExitOk;
}

int runShow(std::string_view name) {
  bool isFactory = false;
  const std::optional<StitchOptions> options = findMachine(name, std::nullopt, isFactory);
  if (!options) return fail(name, "no such machine format (see `stitchkit machines`)");
  std::cout << name << (isFactory ? " (factory)" : " (installed)") << '\n';
  const StitchOptionsSerializer serializer;
  for (int id = 0; id < serializer.numOptions(); ++id) {
    std::cout << "  " << strToUtf8(serializer.getOptionName(id)) << '='
              << strToUtf8(serializer.getOptionValue(id, *options)) << '\n';
  }
  return kExitOk;
}

// A machine format name is the base name of its profile.
bool isValidName(std::string_view name) {
  return !name.empty() && name.front() != '.' && name.find('/') == std::string_view::npos &&
         name.find('\\') == std::string_view::npos;
}

int runAdd(MachineHost& host, std::string_view name, const MachinesArgs& args) {
  if (!isValidName(name)) {
    return usageError(kCommand, "add: '" + std::string(name) + "' cannot name a profile file",
                      kUsage);
  }
  if (!args.from) return usageError(kCommand, "add needs --from NAME or --from CODE", kUsage);
  const std::string path = host.profilePath(name);
  if (fileExists(fromNativePath(path))) {
    return fail(path, "a machine format of that name is installed (remove it first)");
  }
  StitchOptions options;
  if (const std::optional<int> code = parseWholeNumber(*args.from)) {
    HString ignored;
    if (makeFactoryMachineFormat(static_cast<HDiskFileFormat>(*code), ignored, options) !=
        kMachineFormatOk) {
      return usageError(kCommand,
                        "--from " + std::string(*args.from) +
                            ": no factory machine format writes that format code",
                        kUsage);
    }
  } else {
    bool isFactory = false;
    const std::optional<StitchOptions> found = findMachine(*args.from, std::nullopt, isFactory);
    if (!found) {
      return usageError(kCommand,
                        "--from " + std::string(*args.from) +
                            ": no such machine format (see `stitchkit machines`)",
                        kUsage);
    }
    options = *found;
  }
  const StitchOptionsSerializer serializer;
  for (const OptionSetting& setting : args.settings)
    serializer.setOptionValue(setting.id, options, setting.value);
  options.setCanDelete(1);
  if (const int error = MachineHost::makeParentDirectory(path); error != 0) {
    return fail(path, describeFailure("cannot be created", error, ""));
  }
  HProfile profile(fromNativePath(path));
  StitchOptionsProfile(profile).saveOptions(options);
  StitchOptions back;
  if (GetMachineFormatOptions(utf8ToStr(std::string(name)), back) != kMachineFormatOk ||
      back != options) {
    return fail(path, "cannot be written");
  }
  std::cout << "added " << name << ": format " << formatText(options.getFileFormat()) << ", "
            << path << '\n';
  return kExitOk;
}

int runDefault(MachineHost& host, const std::vector<std::string_view>& words) {
  if (words.size() == 1) {
    const std::string name = defaultName(host);
    std::cout << (name.empty()
                      ? "none: convert chooses the best machine format for each file format"
                      : name)
              << '\n';
    return kExitOk;
  }
  const std::string_view name = words[1];
  StitchOptions options;
  if (GetMachineFormatOptions(utf8ToStr(std::string(name)), options) != kMachineFormatOk) {
    return fail(name,
                "is not an installed machine format (install one with `stitchkit machines add`)");
  }
  if (const int error = MachineHost::makeParentDirectory(host.settingsPath()); error != 0) {
    return fail(host.settingsPath(), describeFailure("cannot be created", error, ""));
  }
  if (host.host().setDefaultMachineFormat(utf8ToStr(std::string(name))) != kProfileOk) {
    return fail(host.settingsPath(), "cannot be written");
  }
  std::cout << "default machine format: " << name << '\n';
  return kExitOk;
}

int runRemove(MachineHost& host, std::string_view name) {
  const std::string path = host.profilePath(name);
  StitchOptions options;
  if (!isValidName(name) ||
      GetMachineFormatOptions(utf8ToStr(std::string(name)), options) != kMachineFormatOk) {
    bool isFactory = false;
    if (findMachine(name, std::nullopt, isFactory) && isFactory) {
      return fail(name, "is a factory machine format and cannot be removed");
    }
    return fail(name, "is not an installed machine format (see `stitchkit machines`)");
  }
  if (options.getCanDelete() == 0) {
    return fail(path, "is a factory machine format (CanDelete 0) and cannot be removed");
  }
  if (std::remove(path.c_str()) != 0) {
    return fail(path, describeFailure("cannot be removed", errno, ""));
  }
  if (defaultName(host) == name) host.host().setDefaultMachineFormat(HString());
  std::cout << "removed " << name << '\n';
  return kExitOk;
}

}  // namespace

int runMachines(std::span<const std::string_view> args) {
  int exitCode = kExitOk;
  const std::optional<MachinesArgs> parsed = parseArgs(args, exitCode);
  if (!parsed) return exitCode;
  MachineHost host(parsed->machines);
  const std::vector<std::string_view>& words = parsed->words;
  const std::string_view action = words.empty() ? std::string_view() : words.front();
  const auto operands = [&](std::size_t least, std::size_t most) {
    return words.size() >= least + 1 && words.size() <= most + 1;
  };
  if (action.empty()) return runList(host, parsed->json);
  if (action == "show" && operands(1, 1)) return runShow(words[1]);
  if (action == "add" && operands(1, 1)) return runAdd(host, words[1], *parsed);
  if (action == "default" && operands(0, 1)) return runDefault(host, words);
  if (action == "remove" && operands(1, 1)) return runRemove(host, words[1]);
  return usageError(
      kCommand, "unknown action or wrong number of names: '" + std::string(action) + "'", kUsage);
}

}  // namespace stitchkit::cli
