# Sourced by the scripts that run the Windows programs under Wine: one prefix inside the
# native build folder, Wine's own chatter off. Set WINE_BUILD (native build) and WIN_BUILD
# (the MinGW-w64 build) first.
export WINEPREFIX="$WINE_BUILD/wineprefix"
export WINEDEBUG=-all
export SETI_RUNNER=wine
export SETI_EXE_SUFFIX=.exe
export SETI_PROGRAM_DIR="$WIN_BUILD/bin"
