@echo off
rem collect.cmd: what the Orvella add-in's installer reads on this machine,
rem gathered into a folder that ca-sim runs as a scenario. It changes
rem nothing on the machine and needs no administrator rights. README.md
rem beside it says exactly what it takes.
rem
rem usage: collect.cmd OUTPUT_FOLDER [HOST_FOLDER...]
rem
rem Only cmd and reg.exe, so that it runs on the oldest hosts' systems and
rem under Wine. Exit status: 0 written, 2 bad usage or the folder cannot be
rem written.
setlocal EnableExtensions DisableDelayedExpansion
if "%~1"=="" goto :usage
set "OUT=%~f1"
if exist "%OUT%\machine.reg" (
    echo collect: "%OUT%" holds a collection already; name another folder
    exit /b 2
)
mkdir "%OUT%\registry" 2>nul
mkdir "%OUT%\drive_c" 2>nul
if not exist "%OUT%\registry\" (
    echo collect: cannot create "%OUT%"
    exit /b 2
)
set "LOG=%OUT%\collected.txt"
rem A 32-bit cmd on a 64-bit system reaches the native registry view through Sysnative.
set "REG=reg.exe"
if exist "%SystemRoot%\Sysnative\reg.exe" set "REG=%SystemRoot%\Sysnative\reg.exe"
rem cmd writes its output in the console's code page: set it to the
rem system's ANSI code page, the one the installer's actions use, so that
rem names keep their letters in collected.txt and scenario.txt.
set "CODEPAGE="
for /f "tokens=2 delims=:" %%C in ('chcp 2^>nul') do set "CODEPAGE=%%C"
set "ACP="
for /f "tokens=1,3" %%A in ('%REG% query "HKLM\SYSTEM\CurrentControlSet\Control\Nls\CodePage" /v ACP 2^>nul') do if /i "%%A"=="ACP" set "ACP=%%B"
if defined ACP chcp %ACP% >nul 2>&1

> "%OUT%\machine.reg" echo Windows Registry Editor Version 5.00
> "%LOG%" echo # What collect.cmd took from this machine (README.md says what each line means).
rem scenario.txt is written in the code page, and says so first; the host
rem folders add a "hold" line for each file that a program holds open.
set "SCENARIO=%OUT%\scenario.txt"
if defined ACP (
    >> "%LOG%" echo codepage %ACP%
    > "%SCENARIO%" echo codepage %ACP% ansi
) else (
    >> "%LOG%" echo codepage unknown: HKLM\SYSTEM\CurrentControlSet\Control\Nls\CodePage has no ACP
    type nul > "%SCENARIO%"
)
>> "%SCENARIO%" echo # Collected by collect.cmd: the machine as the add-in's installer finds it.
>> "%SCENARIO%" echo env ALLUSERSPROFILE=%ALLUSERSPROFILE%

rem The registry: the hosts' keys in both views, and the add-in's own key.
call :export "HKLM\SOFTWARE\PTC" ptc.reg
call :export "HKLM\SOFTWARE\Wow6432Node\PTC" ptc-wow6432node.reg
call :export "HKLM\SOFTWARE\Kestrane" kestrane.reg

rem Every host folder the registry names (the hosts' folder values, every
rem folder the add-in's key records), then every folder given.
call :hostsIn "%OUT%\registry\ptc.reg" host
call :hostsIn "%OUT%\registry\ptc-wow6432node.reg" host
call :hostsIn "%OUT%\registry\kestrane.reg" any
:arguments
shift
if "%~1"=="" goto :scenario
call :host "%~f1"
goto :arguments

:scenario
>> "%SCENARIO%" echo sequence install
if defined CODEPAGE chcp %CODEPAGE% >nul 2>&1
echo collect: wrote "%OUT%"; send the whole folder
exit /b 0

:usage
echo usage: collect.cmd OUTPUT_FOLDER [HOST_FOLDER...]
echo Writes what the Orvella add-in's installer reads on this machine into
echo OUTPUT_FOLDER, for a dry run with ca-sim; see README.md.
exit /b 2

rem --- the registry -------------------------------------------------------

:export
"%REG%" export %1 "%OUT%\registry\%~2" /y >nul 2>&1
if exist "%OUT%\registry\%~2" (
    >> "%LOG%" echo registry %~1
) else (
    >> "%LOG%" echo registry %~1: not on this machine
)
goto :eof

rem The folder values of an export ("host": InstallDir and
rem CommonFilesLocation; "any": every value that names a folder). reg writes
rem UTF-16: cmd under Wine reads the file itself, Windows' cmd through type.
rem The value goes on with its quotes: Wine's %%~B loses the last letter of a
rem name in a double-byte code page.
:hostsIn
if not exist "%~1" goto :eof
set "WHICH=%~2"
set "FOUND="
for /f "usebackq tokens=1,* delims==" %%A in ("%~1") do call :value "%%~A" %%B
if defined FOUND goto :eof
for /f "tokens=1,* delims==" %%A in ('type "%~1"') do call :value "%%~A" %%B
goto :eof

:value
set "FOLDER=%~2"
if not defined FOLDER goto :eof
if "%WHICH%"=="host" if /i not "%~1"=="InstallDir" if /i not "%~1"=="CommonFilesLocation" goto :eof
if not "%FOLDER:~1,3%"==":\\" goto :eof
set "FOUND=1"
call :host "%FOLDER:\\=\%"
goto :eof

rem --- a host folder ------------------------------------------------------

rem H the host folder, D its copy below drive_c (ca-sim's drive C:).
:host
set "H=%~1"
if not defined H goto :eof
if "%H:~-1%"=="\" set "H=%H:~0,-1%"
if /i not "%H:~0,3%"=="C:\" (
    >> "%LOG%" echo skipped "%H%": ca-sim simulates drive C: only
    goto :eof
)
set "D=%OUT%\drive_c\%H:~3%"
if exist "%D%\" goto :eof
if not exist "%H%\" (
    >> "%LOG%" echo missing "%H%": no such folder
    goto :eof
)
mkdir "%D%"
>> "%LOG%" echo host "%H%"
rem The only files copied: the registration file, the installation log, the release descriptor.
for %%F in ("text\protk.dat" "uninstall\instlog.txt" "bin\pim\xml\creobase.p.xml") do call :copy "%%~F"
rem The places the add-in writes: names and sizes only, as empty stand-ins.
for %%P in ("x86e_win64" "x86e_win64\obj" "x86e_win64\obj\Lang" "x86e_win64\obj\Microsoft.VC90.CRT" "x86e_win64\obj\Microsoft.VC90.MFC" "x86e_win64\obj\Microsoft.VC100" "text" "text\ribbon" "text\usascii" "text\usascii\resource" "text\japanese" "text\japanese\resource" "text\french" "text\french\resource" "text\german" "text\german\resource") do call :place "%%~P"
goto :eof

:copy
if not exist "%H%\%~1" goto :eof
for %%T in ("%D%\%~1") do mkdir "%%~dpT" 2>nul
rem A folder that stands where the file belongs stands in the collection too:
rem it is no file that a program holds.
if exist "%H%\%~1\*" (
    mkdir "%D%\%~1" 2>nul
    >> "%LOG%" echo folder "%H%\%~1": a folder stands where the file belongs
    goto :eof
)
copy /b "%H%\%~1" "%D%\%~1" >nul 2>&1
if exist "%D%\%~1" (
    >> "%LOG%" echo copied "%H%\%~1"
    goto :eof
)
>> "%LOG%" echo not copied "%H%\%~1": the path is too long or the file cannot be read
rem A file that a program holds open stays as an empty stand-in, held.
type nul > "%D%\%~1" 2>nul
if exist "%D%\%~1" call :readable "%H%\%~1"
goto :eof

rem A file that cannot be opened for reading is one that a program holds
rem open without sharing it, as a running host may hold protk.dat: ca-sim
rem then holds it too. type fails on it (errorlevel 1) on Windows and Wine.
:readable
type "%~1" >nul 2>&1
if not errorlevel 1 goto :eof
>> "%LOG%" echo held "%~1": it cannot be opened for reading
>> "%SCENARIO%" echo hold "%~1"
goto :eof

rem A place: its files (name and size, an empty file of that name) and its
rem folders' names. The listing runs inside the folder: a quoted pattern
rem does not expand under Wine, and a path may hold blanks.
:place
if not exist "%H%\%~1\" goto :eof
mkdir "%D%\%~1" 2>nul
set "BEFORE=%CD%"
pushd "%H%\%~1" 2>nul
if /i "%CD%"=="%BEFORE%" goto :eof
for %%F in (*) do call :listed "%~1" "%%~nxF" "%%~zF"
for /d %%S in (*) do mkdir "%D%\%~1\%%~nxS" 2>nul
popd
goto :eof

:listed
rem A file whose whole path passes the system's limit has no name here.
if "%~2"=="" goto :eof
>> "%LOG%" echo listed %~3 "%H%\%~1\%~2"
rem A copied file, or a held one whose copy failed, is there already.
if exist "%D%\%~1\%~2" goto :eof
type nul > "%D%\%~1\%~2"
call :readable "%H%\%~1\%~2"
goto :eof
