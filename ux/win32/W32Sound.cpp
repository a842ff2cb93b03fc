// 16-bit mono sound through the waveOut interface of winmm.dll, loaded by
// name: up to 32 sounds at once, each on a device of its own opened on the
// wave mapper. Nothing waits for a sound; a finished one is cleaned up by a
// later play.
#include <windows.h>
#include <mmsystem.h>

#include <vector>

#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32Handles.h"
#include "ux/win32/W32Services.h"

namespace quorl {

namespace {

HMODULE gW32WinMM = nullptr;  // loaded once, never freed

using OpenFn = MMRESULT(WINAPI*)(LPHWAVEOUT, UINT, LPCWAVEFORMATEX, DWORD_PTR, DWORD_PTR, DWORD);
using HeaderFn = MMRESULT(WINAPI*)(HWAVEOUT, LPWAVEHDR, UINT);
using CloseFn = MMRESULT(WINAPI*)(HWAVEOUT);

template <class F> F fn(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(gW32WinMM, name)));
}

// A voice is busy from a successful write until the first play after the
// system marked its header done. Slots never move: the system writes to
// the header while the sound plays.
struct Voice {
  WAVEHDR header{};
  std::vector<int16_t> samples;  // the caller's samples, copied
  W32WaveOut device;             // last, so it is closed before its samples go
};
Voice gW32Voices[32];

void release(Voice& v, bool prepared) {
  if (prepared)
    if (auto unprepare = fn<HeaderFn>("waveOutUnprepareHeader"))
      unprepare(v.device.get(), &v.header, sizeof(WAVEHDR));
  v.device.reset();
  v.header = WAVEHDR{};
  std::vector<int16_t>().swap(v.samples);
}

void prune() {
  for (Voice& v : gW32Voices)
    if (v.device && (v.header.dwFlags & WHDR_DONE)) release(v, true);
}

}  // namespace

// A device is opened only after winmm.dll has loaded.
void W32WaveTraits::destroy(Handle h) {
  if (auto close = fn<CloseFn>("waveOutClose")) close(h);
}

int32_t w32SoundPlay(const int16_t* samples, uint32_t count, uint32_t rate) {
  if (!gW32WinMM) gW32WinMM = LoadLibraryW(L"winmm.dll");
  if (!gW32WinMM) return 0;
  prune();
  // Nothing to play, or more than one buffer can hold.
  if (!samples || count == 0 || count > 0x7FFFFFFFu || rate == 0 || rate > 0x7FFFFFFFu) return 0;
  Voice* voice = nullptr;
  for (Voice& v : gW32Voices)
    if (!v.device) {
      voice = &v;
      break;
    }
  auto open = fn<OpenFn>("waveOutOpen");
  auto prepare = fn<HeaderFn>("waveOutPrepareHeader");
  auto write = fn<HeaderFn>("waveOutWrite");
  if (!voice || !open || !prepare || !write) return 0;
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 1;
  format.nSamplesPerSec = rate;
  format.nAvgBytesPerSec = rate * 2;
  format.nBlockAlign = 2;
  format.wBitsPerSample = 16;
  HWAVEOUT device = nullptr;
  if (open(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR || !device) return 0;
  voice->device.reset(device);
  voice->samples.assign(samples, samples + count);
  voice->header.lpData = reinterpret_cast<LPSTR>(voice->samples.data());
  voice->header.dwBufferLength = DWORD(count) * 2;
  bool prepared = prepare(device, &voice->header, sizeof(WAVEHDR)) == MMSYSERR_NOERROR;
  if (prepared && write(device, &voice->header, sizeof(WAVEHDR)) == MMSYSERR_NOERROR) return 1;
  release(*voice, prepared);
  return 0;
}

void UXWin32Driver::audioPlay(const int16_t* samples, uint32_t count, uint32_t sampleRate) {
  w32SoundPlay(samples, count, sampleRate);
}

}  // namespace quorl
