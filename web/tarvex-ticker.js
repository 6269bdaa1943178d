// The stream's tick source: a dedicated Worker, whose timer keeps its period while the
// page's tab is hidden (browsers slow down a hidden page's own timers). A message with the
// period in milliseconds starts the ticks (one empty message each), 0 stops them.
let timer = 0;
onmessage = (event) => {
    clearInterval(timer);
    timer = 0;
    if (event.data > 0) timer = setInterval(() => postMessage(0), event.data);
};
