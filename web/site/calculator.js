// The page's handle on its worker: one job at a time, progress as it comes, and Cancel by ending
// the worker and starting a fresh one, which leaves the page usable at once.

export class Calculator {
  constructor({ onReady, onFailed }) {
    this.onReady = onReady;
    this.onFailed = onFailed;
    this.nextId = 1;
    this.job = null;
    this.start();
  }

  start() {
    this.worker = new Worker('worker.js', { type: 'module' });
    this.worker.onmessage = ({ data }) => this.receive(data);
    this.worker.onerror = (event) => {
      event.preventDefault();
      this.fail(`the calculator stopped (${event.message || 'worker error'})`);
    };
  }

  receive(data) {
    if (data.type === 'ready') {
      this.onReady(data.version);
      return;
    }
    if (data.type === 'failed') {
      this.fail(data.message);
      return;
    }
    const job = this.job;
    if (job === null || data.id !== job.id) return; // from a job that was cancelled
    if (data.type === 'progress') {
      job.onProgress?.(data.done, data.total);
    } else if (data.type === 'answer') {
      this.job = null;
      job.resolve(data.answer);
    }
  }

  // A worker that stopped during a job is replaced at once; one that could not even load is
  // replaced only when asked again, so that a missing module is reported, not retried forever.
  fail(message) {
    const job = this.job;
    this.job = null;
    if (job) {
      this.restart();
      job.reject(new Error(message));
    } else {
      this.broken = true;
      this.onFailed(message);
    }
  }

  restart() {
    this.worker.terminate();
    this.broken = false;
    this.start();
  }

  get busy() {
    return this.job !== null;
  }

  // The answer to one request (see web/binding/page_request.h), with the files made of it;
  // `shares` ([name, text]) are passed through into the files.
  analyse(request, shares, onProgress) {
    return this.post({ type: 'analyse', request, shares }, { onProgress });
  }

  // The results file of a scenarios file ({text, thresholds, alpha}), or why there is none.
  batch(job, onProgress) {
    return this.post({ type: 'batch', job }, { onProgress });
  }

  post(message, handlers) {
    if (this.job) this.cancel();
    if (this.broken) this.restart();
    const id = this.nextId++;
    return new Promise((resolve, reject) => {
      this.job = { id, resolve, reject, ...handlers };
      this.worker.postMessage({ ...message, id });
    });
  }

  // Ends the running job at once; its promise is rejected with a CancelledError.
  cancel() {
    const job = this.job;
    if (job === null) return;
    this.job = null;
    this.restart();
    job.reject(new CancelledError());
  }
}

export class CancelledError extends Error {
  constructor() {
    super('cancelled');
  }
}
