# Clip extraction: the portable resampler and clip arithmetic, and the ACM glue (the
# extraction itself and our in-process resampler driver).
qv_core_library(qv_core_clip SOURCES pcm_resampler.cpp clip_format.cpp DEPS qv_core_session)
if(QV_MODE STREQUAL "win")
  # SSE arithmetic for the filter (every Windows 7 machine has it); the stack is realigned on
  # entry because ACM calls the driver with the 4-byte alignment of 32-bit Windows.
  set_source_files_properties(pcm_resampler.cpp PROPERTIES
                              COMPILE_OPTIONS "-msse2;-mfpmath=sse;-mstackrealign")
endif()
list(APPEND import_win_sources clip_to_test_wav.cpp acm_resampler_driver.cpp)
list(APPEND import_win_deps qv_core_clip msacm32 winmm)

qv_unit_test(unit_resampler SOURCES ../tests/unit/resampler_test.cpp DEPS qv_core_clip)
qv_unit_test(unit_clip_format SOURCES ../tests/unit/clip_format_test.cpp DEPS qv_core_clip)
qv_bench(bench_clip_resampler SOURCES ../tests/bench/clip_resampler_bench.cpp DEPS qv_core_clip
         MODES native)
# Under Wine: the extraction itself and the driver (helpers live with the encode tests).
qv_win_test(win_clip_to_test_wav SOURCES ../tests/win/clip_to_test_wav_test.cpp
            DEPS qv_import qv_core_clip qv_encode_test_support comctl32 msacm32 winmm)
qv_bench(bench_clip_extract SOURCES ../tests/bench/clip_extract_bench.cpp
         DEPS qv_import qv_core_clip msacm32 winmm MODES win)
qv_fuzz_target(fuzz_resampler SOURCES ../tests/fuzz/resampler_fuzz.cpp DEPS qv_core_clip)
