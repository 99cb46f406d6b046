#!/usr/bin/env bash
# The GTK dialog tests of the unit-test program, which skip without a display,
# run here on a virtual one: the widgets' places and sizes, the model and the
# widgets following each other, Tab order, the close box, the modal info window.
set -uo pipefail
source "$(dirname "$0")/lib/x11.sh"

tests_bin=${FROSTWISP_TESTS_BIN:-$(dirname "$FROSTWISP_BIN")/tests/frostwisp_tests}
[[ -x $tests_bin ]] || fail "no unit-test program at $tests_bin"
x11_session 1024x768

"$tests_bin" --gtest_filter='GtkDialogsTest.*' >"$x11_tmp/gtest.out" 2>&1
rc=$?
grep -E '^\[ +(OK|FAILED|SKIPPED) +\]' "$x11_tmp/gtest.out" | sed "s/^/$script_name: /"
[[ $rc -eq 0 ]] || { cat "$x11_tmp/gtest.out"; fail "the GTK dialog tests failed"; }
grep -q '^\[  SKIPPED \]' "$x11_tmp/gtest.out" && fail "GTK tests were skipped on the display"
ran=$(grep -c '^\[       OK \]' "$x11_tmp/gtest.out")
(( ran >= 7 )) || fail "only $ran GTK tests ran"
# GTK writes its warnings to the error output; a dialog should cause none.
grep -E 'Gtk-(WARNING|CRITICAL)|GLib-GObject-(WARNING|CRITICAL)' "$x11_tmp/gtest.out" && fail "GTK complained"
echo "$script_name: ok"
