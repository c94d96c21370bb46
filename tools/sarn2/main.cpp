// sarn2: render MIDI files through the instrument (or any plug-in of its
// interface), inspect a ROM directory, install or write ROM sets, draw a WAV.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>

#include "instrument/rom_directory.h"
#include "tools/sarn2/build_roms_command.h"
#include "tools/sarn2/demo_roms_command.h"
#include "tools/sarn2/export_command.h"
#include "tools/sarn2/inspect_command.h"
#include "tools/sarn2/install_roms_command.h"
#include "tools/sarn2/output_file.h"
#include "tools/sarn2/play_command.h"
#include "tools/sarn2/plot_wav_command.h"
#include "tools/sarn2/render_command.h"
#include "tools/sarn2/tool_error.h"

using namespace sarn2tool;

namespace {

constexpr double kMaxTailSeconds = 3600.0;

std::optional<double> parseTail(const std::string& text) {
  if (text == "auto") return std::nullopt;
  size_t used = 0;
  double seconds = -1.0;
  try {
    seconds = std::stod(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || !(seconds >= 0.0 && seconds <= kMaxTailSeconds))
    throw UsageError("--tail: '" + text + "' is neither 'auto' nor a number of seconds from 0 to 3600");
  return seconds;
}

SampleFormat parseFormat(const std::string& text) {
  if (text == "pcm16") return SampleFormat::pcm16;
  if (text == "pcm24") return SampleFormat::pcm24;
  return SampleFormat::float32;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Render MIDI files through the Tavrel Sarn2 instrument, play it live and inspect its ROM data.\n"
      "Exit status: 0 success, 1 a file, library or render failed, 2 bad command line."};
  app.set_version_flag("--version", "sarn2 " SARN2_VERSION);
  app.require_subcommand(1);

  RenderOptions render;
  std::string tail = "auto", format;
  CLI::App* renderCommand = app.add_subcommand(
      "render",
      "Play a Standard MIDI File through a plug-in into a mono sound file (output 0 of the plug-in); "
      "the file type follows the extension: .wav, .flac, .ogg or .aiff.");
  renderCommand
      ->add_option("midi", render.midiPath, "Standard MIDI File, format 0 or 1 (format 2 is refused)")
      ->required();
  renderCommand->add_option("-o,--output", render.outputPath, "sound file to write (.wav .flac .ogg .aiff)")
      ->required();
  renderCommand->add_option("--rate", render.sampleRate, "sample rate in Hz")
      ->check(CLI::Range(8000, 384000))
      ->capture_default_str();
  renderCommand->add_option("--block", render.blockSize, "largest audio block in samples")
      ->check(CLI::Range(1, 8192))
      ->capture_default_str();
  addPluginSetupOptions(*renderCommand, render.setup,
                        "write the state chunk as set up, before the piece plays");
  renderCommand
      ->add_option("--tail", tail,
                   "seconds to render after the piece ends, or 'auto': until 0.5 s of silence, "
                   "at most 30 s")
      ->capture_default_str();
  renderCommand
      ->add_option(
          "--format", format,
          "sample format: float, pcm16 or pcm24 (default float; pcm24 for FLAC; none for Ogg Vorbis)")
      ->check(CLI::IsMember({"float", "pcm16", "pcm24"}));
  renderCommand
      ->add_option("--max-length", render.maxLengthSeconds,
                   "longest output in seconds, tail included; a WAV past 4 GiB is written as RF64")
      ->check(CLI::PositiveNumber)
      ->capture_default_str();

  PlayOptions play;
  bool noConnect = false;
  CLI::App* playCommand = app.add_subcommand(
      "play", "Play a plug-in live from a MIDI keyboard through a running JACK (or PipeWire) server.");
  addPluginSetupOptions(*playCommand, play.setup, "write the state chunk as it is when playing ends");
  playCommand->add_option("--name", play.clientName, "JACK client name")->capture_default_str();
  playCommand->add_option("--midi-from", play.midiFrom,
                          "connect this MIDI port (a JACK port name or a regular expression; repeatable) "
                          "instead of every physical MIDI source");
  playCommand->add_flag("--no-connect", noConnect, "make no connections; leave them to a patchbay");

  std::string inspectDirectory, plotPath, exportPath;
  CLI::App* inspectCommand =
      app.add_subcommand("inspect", "Report what the instrument makes of a ROM directory, with warnings.");
  inspectCommand->add_option(
      "romdir", inspectDirectory,
      "ROM directory (default: the one the instrument reads), or a set description (.toml)");
  inspectCommand->add_option("--plot", plotPath, "draw the wave banks and filter envelopes (.png or .svg)");
  inspectCommand->add_option("--export", exportPath,
                             "write the set as a description (.toml) with its banks as WAV files beside it");

  std::string demoDirectory;
  bool force = false;
  CLI::App* demoCommand =
      app.add_subcommand("make-demo-roms", "Write the demo ROM set (ten files) into a directory.");
  demoCommand->add_option("dir", demoDirectory, "directory to write")->required();
  demoCommand->add_flag("--force", force, "replace ROM files already in the directory");

  InstallRomsOptions install;
  CLI::App* installCommand = app.add_subcommand(
      "install-roms",
      "Copy a ROM set (your own dumps from SRC, or the demo set) where the instrument finds it, "
      "matching file names in any case; files already there are kept unless --force.");
  installCommand->add_option("src", install.source, "directory of ROM dumps (default: the demo set)");
  installCommand->add_flag(
      "--system", install.system,
      std::string("install for every user into ") + kSystemRomDirectory + " (needs root)");
  installCommand->add_flag("--force", install.force, "replace ROM files already there");

  std::string descriptionPath, buildDirectory;
  bool buildForce = false;
  CLI::App* buildCommand = app.add_subcommand(
      "build-roms", "Build the ten ROM files from a set description (TOML, WAV files, Scala tunings).");
  buildCommand->add_option("description", descriptionPath, "set description (.toml)")->required();
  buildCommand->add_option("-o,--output", buildDirectory, "directory to write")->required();
  buildCommand->add_flag("--force", buildForce, "replace ROM files already in the directory");

  std::string wavPath, picturePath;
  CLI::App* plotCommand = app.add_subcommand("plot-wav", "Draw a WAV file's waveform and spectrogram.");
  plotCommand->add_option("wav", wavPath, "WAV file")->required();
  plotCommand->add_option("-o,--output", picturePath, "picture to write (.png or .svg)")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? kExitOk : kExitUsage;
  }

  installInterruptCleanup();
  try {
    if (*renderCommand) {
      render.tailSeconds = parseTail(tail);
      if (!format.empty()) render.format = parseFormat(format);
      return runRender(render);
    }
    if (*playCommand) {
      play.connect = !noConnect;
      return runPlay(play);
    }
    if (*inspectCommand && !exportPath.empty()) {
      exportRomSet(inspectDirectory.empty() ? sarn2::romDirectory() : inspectDirectory, exportPath);
      return kExitOk;
    }
    if (*inspectCommand) return runInspect(inspectDirectory, plotPath);
    if (*buildCommand) return runBuildRoms(descriptionPath, buildDirectory, buildForce);
    if (*demoCommand) return runMakeDemoRoms(demoDirectory, force);
    if (*installCommand) return runInstallRoms(install);
    if (*plotCommand) return runPlotWav(wavPath, picturePath);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "sarn2: %s\nRun with --help for more information.\n", e.what());
    return kExitUsage;
  } catch (const ToolError& e) {
    std::fprintf(stderr, "sarn2: error: %s\n", e.what());
    return kExitFailure;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "sarn2: error: %s\n", e.what());
    return kExitFailure;
  }
  return kExitUsage;
}
