# The chart of docs/performance.md: wall time of each update stage against
# its wire bound at 256000 baud, for the shipping and the polling design.
# Run by scripts/bench: gnuplot -e "data='...'; out='...'" bench/performance.gp
set terminal pngcairo size 900,520 font "Sans,11"
set output out
set title "Reference update at 256000 baud: wall time per stage (median of the runs, bars: min to max)"
set ylabel "seconds"
set style data histogram
set style histogram errorbars gap 2 lw 1
set style fill solid 0.8 border -1
set boxwidth 0.9
set key top right
set grid ytics
set yrange [0:*]
plot data using 2:2:2:xtic(1) title "wire bound (10 bits a byte, both ways)" lc rgb "#999999", \
     '' using 3:4:5 title "as it ships" lc rgb "#2a7ab0", \
     '' using 6:7:8 title "polling design (10 ms sleep after every read)" lc rgb "#d9822b"
