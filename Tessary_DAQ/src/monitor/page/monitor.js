"use strict";
// Puts the page together: the status watch feeds the views, the token form
// and the control buttons.
(() => {
  const byId = (id) => document.getElementById(id);
  const kLinkText = { live: "live", polling: "polling every second" };
  const kActionText = { start: "Start", stop: "Stop", trigger: "Software trigger", reset: "Reset counters" };

  let latest = null;
  let busy = false;

  // A status replaces the one shown unless it is older (the stream and a
  // poll may cross); a new program start resets the count.
  function onStatus(status) {
    if (latest && status.started === latest.started && status.sequence < latest.sequence) return;
    latest = status;
    byId("api-error").hidden = true;
    StatusView.show(status);
    SpectrumView.setBoards(status);
    showControls();
  }

  function onLink(link) {
    if (link instanceof Error) {
      byId("connection").textContent = "no answer";
      const banner = byId("api-error");
      banner.hidden = false;
      banner.textContent = link.status === 401
        ? "This address needs the token: enter it under Control."
        : `The program does not answer: ${link.message}`;
      return;
    }
    byId("connection").textContent = kLinkText[link] || link;
  }

  function showControls() {
    const withToken = Api.hasToken();
    byId("buttons").hidden = !withToken;
    byId("token-forget").hidden = !withToken;
    const control = (latest && latest.control) || {};
    const ended = !latest || latest.state === "ended";
    byId("start-button").disabled = busy || !control.start;
    byId("stop-button").disabled = busy || !control.stop;
    byId("trigger-button").disabled = busy || ended;
    byId("reset-button").disabled = busy || ended;
  }

  function showResult(text, failed) {
    const result = byId("control-result");
    result.textContent = text;
    result.className = failed ? "error" : "";
  }

  async function send(action) {
    busy = true;
    showControls();
    const name = kActionText[action];
    try {
      const answer = await Api.control(action);
      if (answer.ok) {
        showResult(`${name}: done.`, false);
        onStatus(answer.body);
      } else if (answer.status === 401) {
        showResult(`${name}: the token was refused; enter the one the program printed.`, true);
      } else if (answer.status === 409) {
        showResult(`${name}: not now: ${answer.error}`, true);
      } else if (answer.status === 503) {
        showResult(`${name}: the program is busy; try again.`, true);
      } else {
        showResult(`${name}: ${answer.error}`, true);
      }
    } catch (error) {
      showResult(`${name}: no answer (${error.message}).`, true);
    } finally {
      busy = false;
      showControls();
    }
  }

  let watch = null;
  function watchStatus() {
    if (watch) watch.stop();
    watch = Api.watchStatus(onStatus, onLink);
  }

  function init() {
    Api.takeTokenFromAddress();
    SpectrumView.init();
    byId("token-form").addEventListener("submit", (event) => {
      event.preventDefault();
      const input = byId("token-input");
      const text = input.value.trim().toLowerCase();
      if (!Api.validToken(text)) {
        showResult("A token is the 32 hex digits the program printed at start-up.", true);
        return;
      }
      Api.setToken(text);
      input.value = "";
      showResult("Token kept for this tab.", false);
      showControls();
      watchStatus();  // the stream's address carries the token
    });
    byId("token-forget").addEventListener("click", () => {
      Api.setToken("");
      showResult("Token forgotten.", false);
      showControls();
    });
    for (const button of byId("buttons").querySelectorAll("button")) {
      button.addEventListener("click", () => send(button.dataset.action));
    }
    showControls();
    watchStatus();
    setInterval(StatusView.tick, 500);
  }

  init();
})();
