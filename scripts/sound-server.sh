#!/usr/bin/env bash
# Sourced by the test and benchmark scripts: a private PulseAudio server with
# a null sink (no sound card, no session, root or not), its monitor as the
# default source. start_sound_server exports what clients need to find it;
# stop_sound_server ends it and removes its folder.

start_sound_server() {
  SOUND_SERVER_DIR=$(mktemp -d)
  export XDG_RUNTIME_DIR=$SOUND_SERVER_DIR/run
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  cat >"$SOUND_SERVER_DIR/null.pa" <<'PA'
load-module module-null-sink sink_name=beatwright_null rate=44100 channels=2 sink_properties=device.description=Beatwright-null
set-default-sink beatwright_null
set-default-source beatwright_null.monitor
load-module module-native-protocol-unix auth-anonymous=1
PA
  # -n: only our script; no autospawn, no exit when idle, no cookie in $HOME.
  HOME=$SOUND_SERVER_DIR pulseaudio --daemonize=no --system=false -n \
    -F "$SOUND_SERVER_DIR/null.pa" --exit-idle-time=-1 --log-target=file:"$SOUND_SERVER_DIR/log" \
    2>/dev/null &
  SOUND_SERVER_PID=$!
  for _ in $(seq 50); do
    if pactl info >/dev/null 2>&1; then
      export BEATWRIGHT_SOUND_SERVER=1
      return 0
    fi
    sleep 0.1
  done
  echo "the sound server did not start:" >&2
  cat "$SOUND_SERVER_DIR/log" >&2 || true
  stop_sound_server
  return 1
}

stop_sound_server() {
  if [ -n "${SOUND_SERVER_PID:-}" ]; then
    kill "$SOUND_SERVER_PID" 2>/dev/null || true
    wait "$SOUND_SERVER_PID" 2>/dev/null || true
    SOUND_SERVER_PID=
  fi
  if [ -n "${SOUND_SERVER_DIR:-}" ]; then
    rm -rf "$SOUND_SERVER_DIR"
    SOUND_SERVER_DIR=
  fi
}
