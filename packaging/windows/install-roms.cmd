@echo off
rem Copies the demo ROM set from the roms folder beside this script into
rem C:\roms\, where the instrument reads it. A file already in C:\roms\ is
rem never replaced, so a user's own dumps stay. Each file is copied under a
rem temporary name and renamed when complete. Pass /nopause to end without
rem waiting for a key.
setlocal
set "SOURCE=%~dp0roms"
set "TARGET=C:\roms"
set FAILED=0

if not exist "%SOURCE%\DD1.BIN" (
  echo The demo ROM set is missing from %SOURCE%.
  set FAILED=1
  goto done
)
if not exist "%TARGET%\" mkdir "%TARGET%"
if not exist "%TARGET%\" (
  echo Cannot create %TARGET%.
  set FAILED=1
  goto done
)

for %%N in (DD1 DD2 DD13 DD14 DD16 DD18 DD19 DD27 DD28 Midi_DD2) do call :install %%N
goto done

:install
if exist "%TARGET%\%1.BIN" (
  echo %1.BIN kept: already in %TARGET%
  goto :eof
)
copy /b "%SOURCE%\%1.BIN" "%TARGET%\%1.BIN.part" >nul
if errorlevel 1 goto failed
ren "%TARGET%\%1.BIN.part" "%1.BIN"
if errorlevel 1 goto failed
echo %1.BIN installed
goto :eof
:failed
echo %1.BIN could not be copied to %TARGET%
if exist "%TARGET%\%1.BIN.part" del "%TARGET%\%1.BIN.part"
set FAILED=1
goto :eof

:done
if "%FAILED%"=="0" echo The ROM files are in %TARGET%. Insert the instrument in your host again to hear them.
if /i not "%~1"=="/nopause" pause
exit /b %FAILED%
