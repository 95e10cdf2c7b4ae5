# Plot channel 1 against elapsed seconds from stamp_series output.
#
# The series is read from standard input; the PNG goes to the output set
# before this script runs, or to series.png when none was set:
#
#   stamp_series < examples/sample.log |
#     gnuplot -e "set output 'docs/sample.png'" examples/plot.gp
#
# Input columns: elapsed seconds, channel 1, channel 2, channel 3,
# channel 4 doubled.

set terminal pngcairo size 900,480 font "DejaVu Sans,10"
if (GPVAL_OUTPUT eq "") set output "series.png"

set title "Channel 1 against elapsed time"
set xlabel "elapsed seconds"
set ylabel "channel 1"
set grid
set key off
set xtics nomirror
set ytics nomirror

plot "/dev/stdin" using 1:2 with linespoints lt rgb "#1f5fa8" pt 7 ps 0.4
