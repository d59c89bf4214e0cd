# Sourced by the build scripts: compiles through ccache when it is there, so
# a fresh clone (CI checks one out for every run) reuses the objects of the
# last build. Paths are taken relative to the clone and its folder is left
# out of the hash, so clones in other places share the cache.
CACHE_LAUNCHER=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
  CACHE_LAUNCHER=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
